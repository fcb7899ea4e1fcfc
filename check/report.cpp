#include "check/report.h"

namespace nivra {

namespace {

const char16_t* KindName(FindingKind kind) noexcept {
    switch (kind) {
        case FindingKind::kOk:
            return u"ok";
        case FindingKind::kProblem:
            return u"problem";
        case FindingKind::kNote:
            break;
    }
    return u"note";
}

HResult AppendNumber(WideString& out, std::size_t value) noexcept {
    char16_t digits[24];
    std::size_t length = 0;
    do {
        digits[length++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (length > 0)
        NV_RETURN_IF_FAILED(out.Append(&digits[--length], 1));
    return kOk;
}

}  // namespace

HResult CheckReport::Add(FindingKind kind, WideString&& text) noexcept {
    if (kind == FindingKind::kProblem)
        ++problems_;
    if (count_ == kCapacity)
        return kOk;
    findings_[count_].kind = kind;
    findings_[count_].text = static_cast<WideString&&>(text);
    ++count_;
    return kOk;
}

HResult CheckReport::Summary(WideString& out) const noexcept {
    if (problems_ == 0)
        return out.Append(u"nothing stands in the way: the command shows for this user");
    NV_RETURN_IF_FAILED(AppendNumber(out, problems_));
    return out.Append(problems_ == 1 ? u" problem stands in the way of the command"
                                     : u" problems stand in the way of the command");
}

HResult CheckReport::FormatText(WideString& out) const noexcept {
    for (std::size_t i = 0; i < count_; ++i) {
        NV_RETURN_IF_FAILED(out.Append(KindName(findings_[i].kind)));
        NV_RETURN_IF_FAILED(out.Append(u": "));
        NV_RETURN_IF_FAILED(out.Append(findings_[i].text));
        NV_RETURN_IF_FAILED(out.Append(u"\n"));
    }
    NV_RETURN_IF_FAILED(out.Append(u"summary: "));
    NV_RETURN_IF_FAILED(Summary(out));
    return out.Append(u"\n");
}

HResult AppendJsonString(WideString& out, const char16_t* text, std::size_t length) noexcept {
    constexpr char16_t kHex[] = u"0123456789abcdef";
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t unit = text[i];
        if (unit == u'"' || unit == u'\\') {
            const char16_t escaped[] = {u'\\', unit};
            NV_RETURN_IF_FAILED(out.Append(escaped, 2));
        } else if (unit < 0x20) {
            const char16_t escaped[] = {u'\\', u'u', u'0', u'0', kHex[unit >> 4], kHex[unit & 15]};
            NV_RETURN_IF_FAILED(out.Append(escaped, 6));
        } else {
            NV_RETURN_IF_FAILED(out.Append(&unit, 1));
        }
    }
    return kOk;
}

HResult CheckReport::FormatJson(WideString& out) const noexcept {
    NV_RETURN_IF_FAILED(out.Append(u"{\"findings\":["));
    for (std::size_t i = 0; i < count_; ++i) {
        NV_RETURN_IF_FAILED(out.Append(i == 0 ? u"{\"kind\":\"" : u",{\"kind\":\""));
        NV_RETURN_IF_FAILED(out.Append(KindName(findings_[i].kind)));
        NV_RETURN_IF_FAILED(out.Append(u"\",\"text\":\""));
        NV_RETURN_IF_FAILED(
            AppendJsonString(out, findings_[i].text.Text(), findings_[i].text.Length()));
        NV_RETURN_IF_FAILED(out.Append(u"\"}"));
    }
    NV_RETURN_IF_FAILED(out.Append(u"],\"problems\":"));
    NV_RETURN_IF_FAILED(AppendNumber(out, problems_));
    NV_RETURN_IF_FAILED(out.Append(u",\"summary\":\""));
    WideString summary;
    NV_RETURN_IF_FAILED(Summary(summary));
    NV_RETURN_IF_FAILED(AppendJsonString(out, summary.Text(), summary.Length()));
    NV_RETURN_IF_FAILED(out.Append(u"\",\"exitCode\":"));
    NV_RETURN_IF_FAILED(AppendNumber(out, static_cast<std::size_t>(ExitCode())));
    return out.Append(u"}\n");
}

}  // namespace nivra
