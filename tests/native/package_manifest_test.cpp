// The package manifest as Windows reads it: namespace-aware XML, checked against the class
// identifier, DLL and application the code ships; and the command that fills its identity.
#include <expat.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "check/verdicts.h"
#include "handler/launch_command.h"
#include "module/class_ids.h"

namespace {

const std::string kSourceDir = NIVRA_SOURCE_DIR;
const std::string kPackageDir = kSourceDir + "/resources/package";
const std::string kManifest = kPackageDir + "/AppxManifest.xml";
const std::string kFillCommand = kSourceDir + "/scripts/package-manifest.sh";

const std::string kFoundation = "http://schemas.microsoft.com/appx/manifest/foundation/windows10";
const std::string kUap = "http://schemas.microsoft.com/appx/manifest/uap/windows10";
const std::string kUap10 = "http://schemas.microsoft.com/appx/manifest/uap/windows10/10";
const std::string kDesktop4 = "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4";
const std::string kDesktop5 = "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5";
const std::string kCom = "http://schemas.microsoft.com/appx/manifest/com/windows10";
const std::string kRescap =
    "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities";

// Names are "namespace|local", as expat reports them with namespace processing on; unprefixed
// attributes have no namespace.
std::string Q(const std::string& ns, const char* local) {
    return ns + "|" + local;
}

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    int parent = -1;
};

struct Document {
    std::vector<Element> elements;
    std::map<std::string, std::string> namespaces;  // prefix ("" for the default) to URI
    std::string error;

    std::vector<const Element*> All(const std::string& name) const {
        std::vector<const Element*> found;
        for (const Element& e : elements) {
            if (e.name == name) {
                found.push_back(&e);
            }
        }
        return found;
    }
    // The element `levels` up from `e`; null past the root.
    const Element* Up(const Element* e, int levels = 1) const {
        for (; e && levels > 0; --levels) {
            e = e->parent < 0 ? nullptr : &elements[e->parent];
        }
        return e;
    }
    // The element's ancestry from the root, each name with the prefix the manifest uses.
    std::string Path(const Element* e) const {
        std::string path;
        for (; e; e = Up(e)) {
            const size_t bar = e->name.find('|');
            std::string prefix;
            for (const auto& [p, uri] : namespaces) {
                if (uri == e->name.substr(0, bar) && !p.empty()) {
                    prefix = p + ":";
                }
            }
            path = prefix + e->name.substr(bar + 1) + (path.empty() ? "" : "/" + path);
        }
        return path;
    }
    std::string Attribute(const Element& e, const std::string& name) const {
        auto it = e.attributes.find(name);
        return it == e.attributes.end() ? "<missing " + name + ">" : it->second;
    }
};

struct ParseState {
    Document* doc;
    std::vector<int> open;
};

Document Parse(const std::string& path) {
    Document doc;
    std::ifstream in(path, std::ios::binary);
    const std::string xml{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
        doc.error = "cannot read " + path;
        return doc;
    }
    ParseState state{&doc, {}};
    XML_Parser parser = XML_ParserCreateNS("UTF-8", '|');
    XML_SetUserData(parser, &state);
    XML_SetNamespaceDeclHandler(
        parser,
        [](void* data, const XML_Char* prefix, const XML_Char* uri) {
            static_cast<ParseState*>(data)->doc->namespaces[prefix ? prefix : ""] = uri ? uri : "";
        },
        nullptr);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            auto* s = static_cast<ParseState*>(data);
            Element e;
            e.name = name;
            e.parent = s->open.empty() ? -1 : s->open.back();
            for (int i = 0; attributes[i]; i += 2) {
                e.attributes[attributes[i]] = attributes[i + 1];
            }
            s->open.push_back(static_cast<int>(s->doc->elements.size()));
            s->doc->elements.push_back(e);
        },
        [](void* data, const XML_Char*) { static_cast<ParseState*>(data)->open.pop_back(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        auto* s = static_cast<ParseState*>(data);
        s->doc->elements[s->open.back()].text.append(text, length);
    });
    if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_ERROR) {
        doc.error = path + ":" + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
                    XML_ErrorString(XML_GetErrorCode(parser));
    }
    XML_ParserFree(parser);
    return doc;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

// Windows takes the manifest's class identifiers without braces.
std::string ClassIdWithoutBraces() {
    const std::string id = nivra::kExplorerCommandClassId;
    return Upper(id.substr(1, id.size() - 2));
}

std::string ApplicationFileName() {
    std::string narrow;
    for (const char16_t* p = nivra::kApplicationFileName; *p; ++p) {
        narrow += static_cast<char>(*p);
    }
    return narrow;
}

std::string ShellQuote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs the fill command with `arguments`; its exit status, -1 if it did not run to the end.
int Fill(const std::vector<std::string>& arguments) {
    std::string command = "bash " + ShellQuote(kFillCommand);
    for (const std::string& a : arguments) {
        command += " " + ShellQuote(a);
    }
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Exists(const std::string& path) {
    return std::ifstream(path).good();
}

class PackageManifest : public testing::Test {
  protected:
    void SetUp() override {
        doc_ = Parse(kManifest);
        ASSERT_EQ(doc_.error, "");
    }
    Document doc_;
};

TEST_F(PackageManifest, EachPrefixIsBoundToTheNamespaceWindowsDefinesAndIgnorablesAreDeclared) {
    const std::map<std::string, std::string> expected = {
        {"", kFoundation},       {"uap", kUap}, {"uap10", kUap10},  {"desktop4", kDesktop4},
        {"desktop5", kDesktop5}, {"com", kCom}, {"rescap", kRescap}};
    EXPECT_EQ(doc_.namespaces, expected);

    ASSERT_EQ(doc_.All(Q(kFoundation, "Package")).size(), 1u);
    const Element& package = doc_.elements.front();
    EXPECT_EQ(package.name, Q(kFoundation, "Package"));
    // An ignorable prefix that is not declared makes Windows refuse the whole manifest.
    std::istringstream ignorable(doc_.Attribute(package, "IgnorableNamespaces"));
    int count = 0;
    for (std::string prefix; ignorable >> prefix; ++count) {
        EXPECT_TRUE(prefix != "" && doc_.namespaces.count(prefix)) << prefix;
    }
    EXPECT_GT(count, 0);
}

TEST_F(PackageManifest, TheVerbAndTheServedClassAreTheExplorerCommandInTheShippedDll) {
    const auto classes = doc_.All(Q(kCom, "Class"));
    ASSERT_EQ(classes.size(), 1u);
    const Element& server_class = *classes[0];
    EXPECT_EQ(Upper(doc_.Attribute(server_class, "Id")), ClassIdWithoutBraces());
    EXPECT_EQ(doc_.Attribute(server_class, "Path"), NIVRA_DLL_FILE_NAME);
    EXPECT_EQ(doc_.Attribute(server_class, "ThreadingModel"), "STA");

    const auto verbs = doc_.All(Q(kDesktop5, "Verb"));
    ASSERT_EQ(verbs.size(), 1u);
    const Element& verb = *verbs[0];
    EXPECT_EQ(Upper(doc_.Attribute(verb, "Clsid")), ClassIdWithoutBraces());
    EXPECT_TRUE(std::regex_match(doc_.Attribute(verb, "Id"), std::regex("[A-Za-z0-9]{3,64}")));

    // Both extensions belong to the one application, the full-trust Nivra.exe beside the DLL,
    // which gets its identity from a package with external content. The package holds no code:
    // neutral, one signed package for x64 and ARM64 Windows, the DLL being the external
    // location's.
    const std::string extensions = "Package/Applications/Application/Extensions/";
    ASSERT_EQ(doc_.Path(&server_class),
              extensions + "com:Extension/com:ComServer/com:SurrogateServer/com:Class");
    EXPECT_EQ(doc_.Attribute(*doc_.Up(&server_class, 3), "Category"), "windows.comServer");
    ASSERT_EQ(doc_.Path(&verb), extensions +
                                    "desktop4:Extension/desktop4:FileExplorerContextMenus/"
                                    "desktop5:ItemType/desktop5:Verb");
    EXPECT_EQ(doc_.Attribute(*doc_.Up(&verb), "Type"), "*");
    EXPECT_EQ(doc_.Attribute(*doc_.Up(&verb, 3), "Category"), "windows.fileExplorerContextMenus");
    const auto applications = doc_.All(Q(kFoundation, "Application"));
    ASSERT_EQ(applications.size(), 1u);
    const Element& application = *applications[0];
    EXPECT_EQ(doc_.Attribute(application, "Executable"), ApplicationFileName());
    EXPECT_EQ(doc_.Attribute(application, Q(kUap10, "TrustLevel")), "mediumIL");
    EXPECT_EQ(doc_.Attribute(application, Q(kUap10, "RuntimeBehavior")), "win32App");
    const auto identity = doc_.All(Q(kFoundation, "Identity"));
    ASSERT_EQ(identity.size(), 1u);
    EXPECT_EQ(doc_.Attribute(*identity[0], "ProcessorArchitecture"), "neutral");
    const auto external = doc_.All(Q(kUap10, "AllowExternalContent"));
    ASSERT_EQ(external.size(), 1u);
    EXPECT_EQ(external[0]->text, "true");
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The check program tells a provisioned package as ours by the class its staged manifest names.
TEST_F(PackageManifest, TheCheckProgramFindsTheExplorerCommandInIt) {
    const std::string text = ReadText(kManifest);
    EXPECT_TRUE(nivra::ManifestNamesClass(reinterpret_cast<const unsigned char*>(text.data()),
                                          text.size(), nivra::kExplorerCommandClassId));
}

// The installer's fragments write the handler's registration themselves: every class identifier
// in their registry rows is the handler's, but for the type library's value.
TEST(InstallerFragments, RegisterTheHandlersClassIdentifier) {
    const std::regex row("<RegistryValue [^>]*>");
    const std::regex guid("\\{[0-9A-Fa-f-]{36}\\}");
    for (const char* name : {"NivraShellExtX64.wxs", "NivraShellExtX86.wxs"}) {
        const std::string text = ReadText(kSourceDir + "/installer/" + name);
        int found = 0;
        for (std::sregex_iterator r(text.begin(), text.end(), row), end; r != end; ++r) {
            const std::string element = r->str();
            if (element.find("\\TypeLib\"") != std::string::npos)
                continue;
            for (std::sregex_iterator g(element.begin(), element.end(), guid); g != end; ++g) {
                EXPECT_EQ(Upper(g->str()), nivra::kHandlerClassId) << name << ": " << element;
                ++found;
            }
        }
        EXPECT_GT(found, 10) << name;
    }
}

// Width and height from a PNG's header; 0 when the file is not a PNG.
std::pair<unsigned, unsigned> PngSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[24] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) ||
        std::string(reinterpret_cast<char*>(head), 16) !=
            std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16)) {
        return {0, 0};
    }
    auto big_endian = [&](int at) {
        return unsigned(head[at]) << 24 | unsigned(head[at + 1]) << 16 |
               unsigned(head[at + 2]) << 8 | head[at + 3];
    };
    return {big_endian(16), big_endian(20)};
}

TEST_F(PackageManifest, EveryLogoItNamesIsAPngOfItsSizeInThePackageFolder) {
    std::vector<std::pair<std::string, unsigned>> logos;  // path in the package, size
    for (const Element* logo : doc_.All(Q(kFoundation, "Logo"))) {
        logos.emplace_back(logo->text, 50);
    }
    for (const Element* visuals : doc_.All(Q(kUap, "VisualElements"))) {
        logos.emplace_back(doc_.Attribute(*visuals, "Square150x150Logo"), 150);
        logos.emplace_back(doc_.Attribute(*visuals, "Square44x44Logo"), 44);
    }
    ASSERT_EQ(logos.size(), 3u);
    for (auto [name, size] : logos) {
        std::replace(name.begin(), name.end(), '\\', '/');
        EXPECT_EQ(PngSize(kPackageDir + "/" + name), std::make_pair(size, size)) << name;
    }
}

class FillCommand : public testing::Test {
  protected:
    void SetUp() override {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        out_ = testing::TempDir() + "nivra-package-" + test->name() + ".xml";
        std::remove(out_.c_str());
    }
    void TearDown() override { std::remove(out_.c_str()); }
    std::string out_;
};

TEST_F(FillCommand, WritesTheGivenIdentityEscapedAndTheProductVersionByDefault) {
    const std::string publisher = "CN=\"Nivra <Vilnius> & Co, UAB\", O=Nivra's, E=it@nivra.lt";
    ASSERT_EQ(Fill({"--name", "Nivra.Documents-2", "--publisher", publisher, "--version",
                    "65535.0.10.1", "--out", out_}),
              0);
    Document filled = Parse(out_);
    ASSERT_EQ(filled.error, "");
    const auto identity = filled.All(Q(kFoundation, "Identity"));
    ASSERT_EQ(identity.size(), 1u);
    EXPECT_EQ(filled.Attribute(*identity[0], "Name"), "Nivra.Documents-2");
    EXPECT_EQ(filled.Attribute(*identity[0], "Publisher"), publisher);
    EXPECT_EQ(filled.Attribute(*identity[0], "Version"), "65535.0.10.1");
    // Everything else is the template's.
    EXPECT_EQ(filled.elements.size(), Parse(kManifest).elements.size());

    ASSERT_EQ(Fill({"--name", "Nivra", "--publisher", "CN=Nivra", "--out", out_}), 0);
    filled = Parse(out_);
    ASSERT_EQ(filled.error, "");
    std::string version = NIVRA_PRODUCT_VERSION;
    while (std::count(version.begin(), version.end(), '.') < 3) {
        version += ".0";
    }
    EXPECT_EQ(filled.Attribute(*filled.All(Q(kFoundation, "Identity"))[0], "Version"), version);
}

TEST_F(FillCommand, RefusesValuesWindowsWouldRefuseAndWritesNothing) {
    const std::string good_name = "Nivra", good_publisher = "CN=Nivra, O=Nivra, C=LT";
    const std::vector<std::vector<std::string>> refused = {
        {"--name", "Ni", "--publisher", good_publisher},
        {"--name", std::string(51, 'N'), "--publisher", good_publisher},
        {"--name", "Nivra_App", "--publisher", good_publisher},
        {"--name", "Nivra.", "--publisher", good_publisher},
        {"--name", "com1.Nivra", "--publisher", good_publisher},
        {"--name", good_name, "--publisher", "Nivra"},
        {"--name", good_name, "--publisher", "CN=Nivra,O=Nivra"},
        {"--name", good_name, "--publisher", "CN=<Nivra>"},
        {"--name", good_name, "--publisher", "CN=Nivra\tUAB"},
        {"--name", good_name, "--publisher", good_publisher, "--version", "1.0.0"},
        {"--name", good_name, "--publisher", good_publisher, "--version", "1.0.0.65536"},
        {"--name", good_name, "--publisher", good_publisher, "--version", "1.0.0.01"},
        {"--name", good_name, "--publisher", good_publisher, "--version", "1.0.0.-1"},
        {"--name", good_name, "--publisher", good_publisher, "--version", "1.0.0.0.0"},
        {"--name", good_name, "--publisher", good_publisher, "--version", "0.9.0.0"},
        {"--publisher", good_publisher},
        {"--name", good_name},
    };
    for (std::vector<std::string> arguments : refused) {
        arguments.insert(arguments.end(), {"--out", out_});
        EXPECT_EQ(Fill(arguments), 2) << arguments[1] << " " << arguments[3];
        EXPECT_FALSE(Exists(out_)) << arguments[1] << " " << arguments[3];
    }
    // A folder as the output would get a hidden temporary name instead: refused, left alone.
    const std::string folder = out_ + ".d";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    EXPECT_EQ(Fill({"--name", good_name, "--publisher", good_publisher, "--out", folder}), 2);
    EXPECT_EQ(::rmdir(folder.c_str()), 0) << "something was written into the folder";
    // The limits themselves are allowed.
    EXPECT_EQ(Fill({"--name", std::string(50, 'N'), "--publisher", good_publisher, "--version",
                    "1.0.0.0", "--out", out_}),
              0);
}

}  // namespace
