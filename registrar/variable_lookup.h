// What the expansion asks of the registrar: the value of a variable by name.
#pragma once

namespace nivra {

class IVariableLookup {
  public:
    // The value of the first variable whose name matches without regard to case, or null.
    // The text stays valid until the variables change.
    virtual const char16_t* FindVariable(const char16_t* name) const noexcept = 0;

  protected:
    ~IVariableLookup() = default;
};

}  // namespace nivra
