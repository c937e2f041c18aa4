#pragma once
// Layout files: our own compact XML, built into a control tree. See docs/skin-format.md.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/ui_defs.h"

namespace gmd::ui {

class CControlUI;

// Named creation functions for control classes that layouts may name.
class CControlFactory {
  public:
    using CreateClass = std::function<CControlUI*()>;
    static CControlFactory* GetInstance();
    // Registering a known name again replaces its function and keeps its place in the order.
    void RegistControl(const std::string& className, CreateClass create);
    // nullptr when the class is unknown. Names are compared without case.
    CControlUI* CreateControl(const std::string& className) const;
    bool IsRegistered(const std::string& className) const;
    // Registration order, for inspection.
    const std::vector<std::string>& RegisteredNames() const { return order_; }

  private:
    std::map<std::string, CreateClass> creators_;  // key lowered
    std::vector<std::string> order_;
};

class CPaintManagerUI;

class CDialogBuilder {
  public:
    // Builds a layout given by resource name (an entry of res.xml, such as "XML_MAIN") or by
    // file name relative to the skin folder. Returns the root control (caller or `manager`
    // owns it) or nullptr; GetLastError() then names the file, the line and the fault.
    // Window-level attributes of the root element (size, caption ...) go to `manager`.
    CControlUI* Create(const std::string& resourceOrFile, const char* type = nullptr,
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Builds from XML text already in memory; `sourceName` is used in error messages.
    CControlUI* CreateFromText(const std::string& xml, const std::string& sourceName,
                               IDialogBuilderCallback* callback = nullptr,
                               CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    const std::string& GetLastError() const { return error_; }
    // Elements of the last build that nobody could create (skipped with their children).
    const std::vector<std::string>& GetWarnings() const { return warnings_; }

    // How deep <Include> may nest, against files that include themselves.
    static constexpr int kMaxIncludeDepth = 8;

  private:
    class Build;
    std::string error_;
    std::vector<std::string> warnings_;
};

}  // namespace gmd::ui
