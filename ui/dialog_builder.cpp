// Layout builder and control factory.

#include "ui/dialog_builder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <memory>

#include "platform/text.h"
#include "ui/control.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::ui {

namespace {

template <class T>
CControlUI* Make() {
    return new T;
}

// The standard classes, by layout tag.
struct StandardClass {
    const char* tag;
    CControlUI* (*create)();
};
constexpr StandardClass kStandardClasses[] = {
    {"Control", &Make<CControlUI>},
    {"Container", &Make<CContainerUI>},
    {"VerticalLayout", &Make<CVerticalLayoutUI>},
    {"HorizontalLayout", &Make<CHorizontalLayoutUI>},
    {"TabLayout", &Make<CTabLayoutUI>},
    {"Label", &Make<CLabelUI>},
    {"Text", &Make<CTextUI>},
    {"Button", &Make<CButtonUI>},
    {"Option", &Make<COptionUI>},
    {"CheckBox", &Make<CCheckBoxUI>},
    {"Edit", &Make<CEditUI>},
    {"Progress", &Make<CProgressUI>},
    {"Slider", &Make<CSliderUI>},
    {"Combo", &Make<CComboUI>},
    {"List", &Make<CListUI>},
    {"ListLabelElement", &Make<CListLabelElementUI>},
    {"ListContainerElement", &Make<CListContainerElementUI>},
    {"ColorPalette", &Make<CColorPaletteUI>},
};

// Styles may name further styles; this stops a style that names itself.
constexpr int kMaxStyleDepth = 8;

// "800,572" and the like: exactly `count` non-negative integers separated by commas.
bool ParseIntList(const std::string& text, size_t count, std::vector<int>& out) {
    out.clear();
    size_t pos = 0;
    while (true) {
        while (pos < text.size() && text[pos] == ' ') {
            ++pos;
        }
        int value = 0;
        const char* first = text.data() + pos;
        const char* last = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || ptr == first || value < 0) {
            return false;
        }
        out.push_back(value);
        pos = static_cast<size_t>(ptr - text.data());
        while (pos < text.size() && text[pos] == ' ') {
            ++pos;
        }
        if (pos == text.size()) {
            return out.size() == count;
        }
        if (text[pos] != ',' || out.size() == count) {
            return false;
        }
        ++pos;
    }
}

// How many numbers a <Window> attribute takes; 0 for names that are none.
size_t WindowAttributeNumbers(const std::string& lowerName) {
    if (lowerName == "caption" || lowerName == "sizebox") {
        return 4;
    }
    if (lowerName == "size" || lowerName == "roundcorner" || lowerName == "mininfo") {
        return 2;
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Control factory

CControlFactory* CControlFactory::GetInstance() {
    static CControlFactory instance;
    return &instance;
}

void CControlFactory::RegistControl(const std::string& className, CreateClass create) {
    const std::string key = Lower(className);
    const auto it = creators_.find(key);
    if (it != creators_.end()) {
        it->second = std::move(create);
        for (std::string& name : order_) {
            if (Lower(name) == key) {
                name = className;
            }
        }
        return;
    }
    creators_.emplace(key, std::move(create));
    order_.push_back(className);
}

CControlUI* CControlFactory::CreateControl(const std::string& className) const {
    const auto it = creators_.find(Lower(className));
    if (it == creators_.end() || !it->second) {
        return nullptr;
    }
    return it->second();
}

bool CControlFactory::IsRegistered(const std::string& className) const {
    return creators_.count(Lower(className)) != 0;
}

// ---------------------------------------------------------------------------------------------
// Builder

// One build: the callback, the manager and the include depth travel with it.
class CDialogBuilder::Build {
  public:
    Build(CDialogBuilder& owner, IDialogBuilderCallback* callback, CPaintManagerUI* manager)
        : owner_(owner), callback_(callback), manager_(manager) {}

    // Builds a document into its one control. Window attributes reach the manager only from
    // the document the caller named, not from included ones.
    std::unique_ptr<CControlUI> Document(const std::string& xml, const std::string& source,
                                         int includeDepth) {
        XmlElement root;
        int line = 0;
        std::string what;
        if (!ParseXmlDocument(xml, root, line, what)) {
            Fail(source, line, what);
            return nullptr;
        }
        if (!EqualsIgnoreCase(root.tag, "Window")) {
            std::unique_ptr<CControlUI> control;
            if (!Element(root, source, includeDepth, control)) {
                return nullptr;
            }
            if (!control) {
                Fail(source, root.line, "no control in the layout");
            }
            return control;
        }

        // Window attributes, checked now and handed to the manager once the tree is built.
        std::map<std::string, std::vector<int>> window;
        std::string titleTextId;
        for (const XmlAttribute& attribute : root.attributes) {
            const std::string name = Lower(attribute.name);
            if (name == "titleid") {
                titleTextId = attribute.value;
                continue;
            }
            const size_t count = WindowAttributeNumbers(name);
            if (count == 0) {
                Fail(source, attribute.line,
                     "unknown attribute '" + attribute.name + "' on <" + root.tag + ">");
                return nullptr;
            }
            if (!ParseIntList(attribute.value, count, window[name])) {
                Fail(source, attribute.line,
                     "bad value '" + attribute.value + "' for '" + attribute.name + "' on <" +
                         root.tag + ">");
                return nullptr;
            }
        }
        if (root.textLine != 0) {
            Fail(source, root.textLine, "unexpected text in <" + root.tag + ">");
            return nullptr;
        }

        std::unique_ptr<CControlUI> result;
        for (const XmlElement& child : root.children) {
            std::unique_ptr<CControlUI> control;
            if (!Element(child, source, includeDepth, control)) {
                return nullptr;
            }
            if (control && result) {
                Fail(source, child.line, "more than one top-level control in <" + root.tag + ">");
                return nullptr;
            }
            if (control) {
                result = std::move(control);
            }
        }
        if (!result) {
            Fail(source, root.line, "no control in <" + root.tag + ">");
            return nullptr;
        }
        if (manager_ != nullptr && includeDepth == 0) {
            if (!titleTextId.empty()) {
                manager_->SetTitleTextId(titleTextId);
            }
            for (const auto& [name, v] : window) {
                if (name == "size") {
                    manager_->SetInitSize(v[0], v[1]);
                } else if (name == "caption") {
                    manager_->GetCaptionRect() = RECT{v[0], v[1], v[2], v[3]};
                } else if (name == "sizebox") {
                    manager_->SetSizeBox(RECT{v[0], v[1], v[2], v[3]});
                } else if (name == "roundcorner") {
                    manager_->SetRoundCorner(v[0], v[1]);
                } else {
                    manager_->SetMinInfo(v[0], v[1]);
                }
            }
        }
        return result;
    }

  private:
    bool Fail(const std::string& source, int line, const std::string& what) {
        owner_.error_ = source + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    // Builds one element. true with `out` empty when the element was skipped.
    bool Element(const XmlElement& element, const std::string& source, int includeDepth,
                 std::unique_ptr<CControlUI>& out) {
        out.reset();
        if (EqualsIgnoreCase(element.tag, "Include")) {
            return Include(element, source, includeDepth, out);
        }
        if (EqualsIgnoreCase(element.tag, "Window")) {
            return Fail(source, element.line, "<Window> can only be the root element");
        }
        std::unique_ptr<CControlUI> control(CreateByTag(element.tag));
        if (!control) {
            owner_.warnings_.push_back(source + ":" + std::to_string(element.line) +
                                       ": no control class for <" + element.tag +
                                       ">; skipped with its children");
            return true;
        }
        if (element.textLine != 0) {
            return Fail(source, element.textLine, "unexpected text in <" + element.tag + ">");
        }
        // Children first, so attributes that pick a page or a row find them.
        if (!element.children.empty()) {
            CContainerUI* container = control->AsContainer();
            if (container == nullptr) {
                return Fail(source, element.children.front().line,
                            "<" + element.tag + "> cannot hold child elements");
            }
            for (const XmlElement& child : element.children) {
                std::unique_ptr<CControlUI> built;
                if (!Element(child, source, includeDepth, built)) {
                    return false;
                }
                if (built) {
                    if (!container->Add(built.get())) {
                        return Fail(source, child.line,
                                    "<" + element.tag + "> does not take <" + child.tag + ">");
                    }
                    built.release();
                }
            }
        }
        const std::string defaults =
            CResourceManager::GetInstance()->GetDefaultAttributeList(element.tag);
        if (!defaults.empty() &&
            !ApplyList(*control, element.tag, defaults, "the default of <" + element.tag + ">",
                       source, element.line, 0)) {
            return false;
        }
        for (const XmlAttribute& attribute : element.attributes) {
            if (!ApplyOne(*control, element.tag, attribute.name, attribute.value, {}, source,
                          attribute.line, 0)) {
                return false;
            }
        }
        out = std::move(control);
        return true;
    }

    CControlUI* CreateByTag(const std::string& tag) const {
        for (const StandardClass& standard : kStandardClasses) {
            if (EqualsIgnoreCase(tag, standard.tag)) {
                return standard.create();
            }
        }
        if (callback_ != nullptr) {
            if (CControlUI* control = callback_->CreateControl(tag)) {
                return control;
            }
        }
        const CControlFactory* factory = CControlFactory::GetInstance();
        if (CControlUI* control = factory->CreateControl(tag)) {
            return control;
        }
        return factory->CreateControl("C" + tag + "UI");
    }

    bool Include(const XmlElement& element, const std::string& source, int includeDepth,
                 std::unique_ptr<CControlUI>& out) {
        std::string file;
        bool hasSource = false;
        for (const XmlAttribute& attribute : element.attributes) {
            if (!EqualsIgnoreCase(attribute.name, "source")) {
                return Fail(source, attribute.line,
                            "unknown attribute '" + attribute.name + "' on <" + element.tag + ">");
            }
            file = attribute.value;
            hasSource = true;
        }
        if (!hasSource || file.empty()) {
            return Fail(source, element.line, "<" + element.tag + "> needs a 'source' attribute");
        }
        if (!element.children.empty() || element.textLine != 0) {
            return Fail(source, element.line, "<" + element.tag + "> must be empty");
        }
        if (includeDepth + 1 > kMaxIncludeDepth) {
            return Fail(source, element.line,
                        "includes nested deeper than " + std::to_string(kMaxIncludeDepth) +
                            " (at '" + file + "')");
        }
        const std::string known = CResourceManager::GetInstance()->GetXmlPath(file);
        const std::string path = known.empty() ? file : known;
        std::string content, what;
        if (!ReadSkinFile(path, content, what)) {
            return Fail(source, element.line, what);
        }
        out = Document(content, path, includeDepth + 1);
        if (!out) {
            owner_.error_ += " (included from " + source + ":" + std::to_string(element.line) + ")";
            return false;
        }
        return true;
    }

    // Applies an attribute list from res.xml (a default or a style); faults are reported at
    // `line` with `where` naming the list.
    bool ApplyList(CControlUI& control, const std::string& tag, const std::string& list,
                   const std::string& where, const std::string& source, int line, int styleDepth) {
        AttributeList pairs;
        std::string what;
        if (!ParseAttributeList(list, pairs, &what)) {
            return Fail(source, line, where + ": " + what);
        }
        for (const auto& [name, value] : pairs) {
            if (!ApplyOne(control, tag, name, value, where, source, line, styleDepth)) {
                return false;
            }
        }
        return true;
    }

    bool ApplyOne(CControlUI& control, const std::string& tag, const std::string& name,
                  const std::string& value, const std::string& where, const std::string& source,
                  int line, int styleDepth) {
        const std::string prefix = where.empty() ? std::string() : where + ": ";
        if (EqualsIgnoreCase(name, "style")) {
            const CResourceManager* resources = CResourceManager::GetInstance();
            if (!resources->HasStyle(value)) {
                return Fail(source, line,
                            prefix + "unknown style '" + value + "' on <" + tag + ">");
            }
            if (styleDepth >= kMaxStyleDepth) {
                return Fail(source, line, prefix + "styles nested too deeply at '" + value + "'");
            }
            return ApplyList(control, tag, resources->GetStyle(value), "style '" + value + "'",
                             source, line, styleDepth + 1);
        }
        switch (control.SetAttribute(name, value)) {
            case AttrStatus::Ok:
                return true;
            case AttrStatus::UnknownName:
                return Fail(source, line,
                            prefix + "unknown attribute '" + name + "' on <" + tag + ">");
            case AttrStatus::BadValue:
                return Fail(
                    source, line,
                    prefix + "bad value '" + value + "' for '" + name + "' on <" + tag + ">");
        }
        return Fail(source, line, prefix + "attribute '" + name + "' was not applied");
    }

    CDialogBuilder& owner_;
    IDialogBuilderCallback* callback_;
    CPaintManagerUI* manager_;
};

CControlUI* CDialogBuilder::Create(const std::string& resourceOrFile, const char* /*type*/,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    error_.clear();
    warnings_.clear();
    const std::string known = CResourceManager::GetInstance()->GetXmlPath(resourceOrFile);
    const std::string file = known.empty() ? resourceOrFile : known;
    std::string content;
    if (!ReadSkinFile(file, content, error_)) {
        return nullptr;
    }
    return CreateFromText(content, file, callback, manager, parent);
}

CControlUI* CDialogBuilder::CreateFromText(const std::string& xml, const std::string& sourceName,
                                           IDialogBuilderCallback* callback,
                                           CPaintManagerUI* manager, CControlUI* parent) {
    error_.clear();
    warnings_.clear();
    CContainerUI* container = nullptr;
    if (parent != nullptr) {
        container = parent->AsContainer();
        if (container == nullptr) {
            error_ = sourceName + ": the parent control '" + parent->GetName() +
                     "' cannot hold children";
            return nullptr;
        }
    }
    Build build(*this, callback, manager);
    std::unique_ptr<CControlUI> root = build.Document(xml, sourceName, 0);
    if (!root) {
        return nullptr;
    }
    if (container != nullptr) {
        if (!container->Add(root.get())) {
            error_ = sourceName + ": the parent control '" + parent->GetName() +
                     "' did not take the layout";
            return nullptr;
        }
    }
    return root.release();
}

}  // namespace gmd::ui
