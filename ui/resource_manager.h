#pragma once
// The resource index (res.xml: layout names, named styles, defaults) and the language texts.
// Also the small XML reader that every skin file format (layouts, res.xml, language and menu
// files) goes through, so they all report faults the same way: "<file>:<line>: <what>".

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/ui_defs.h"

namespace gmd::ui {

// One element of a skin XML file, with the lines its parts start on.
struct XmlAttribute {
    std::string name;
    std::string value;
    int line = 0;
};
struct XmlElement {
    std::string tag;
    int line = 0;
    std::vector<XmlAttribute> attributes;  // document order
    std::string text;                      // character data directly inside, concatenated
    int textLine = 0;                      // line of the first non-blank character data, 0: none
    std::vector<XmlElement> children;
};
// Parses a whole document (UTF-8, or UTF-16 with a byte order mark). DTDs and undeclared
// entities are refused, and nesting is limited, so hostile files cannot blow up. false with
// `errorLine` and `error` (no file name) on any fault.
bool ParseXmlDocument(const std::string& bytes, XmlElement& root, int& errorLine,
                      std::string& error);

// Parses an attribute list  name="value" name2='value 2'  into pairs, in order. false with
// `error` on malformed text.
using AttributeList = std::vector<std::pair<std::string, std::string>>;
bool ParseAttributeList(const std::string& list, AttributeList& out, std::string* error = nullptr);

// Full path of a skin file: relative names are taken from CPaintManagerUI::GetResourcePath().
std::string SkinFilePath(const std::string& file);
// Reads a skin file. false with `error` = "cannot open <path>: <reason>" (or too large).
bool ReadSkinFile(const std::string& file, std::string& content, std::string& error);

class CResourceManager {
  public:
    static CResourceManager* GetInstance();
    // Loads the resource index from the skin folder (usually "res.xml"). false with
    // GetLastError() on a missing or malformed file; what was loaded before stays.
    bool LoadResource(const std::string& indexFile, const char* type = nullptr);
    // The same from text in memory; `sourceName` names it in errors.
    bool LoadResourceFromText(const std::string& xml, const std::string& sourceName);
    void Release();  // forgets everything loaded

    // Layout file for a resource name ("XML_MAIN" -> "main.xml"); empty when unknown.
    std::string GetXmlPath(const std::string& name) const;
    // A named style: an attribute list such as  height="25" textcolor="#FFFFFFFF".
    std::string GetStyle(const std::string& name) const;
    bool HasStyle(const std::string& name) const { return styles_.count(name) != 0; }
    // Default attribute list for a control class (by layout tag, without case), empty when none.
    std::string GetDefaultAttributeList(const std::string& className) const;

    // Language.
    void SetLanguage(const std::string& language) { language_ = language; }
    const std::string& GetLanguage() const { return language_; }
    // Loads a language file (text id -> text) from the skin folder; false keeps the old texts.
    bool LoadLanguage(const std::string& file);
    // The same from text in memory; `sourceName` names it in errors.
    bool LoadLanguageFromText(const std::string& xml, const std::string& sourceName);
    // The text for an id: the language file's, else the query interface's, else the id.
    std::string GetText(const std::string& id, const std::string& type = {}) const;
    bool HasText(const std::string& id) const;
    void SetTextQueryInterface(IQueryControlText* query) { query_ = query; }
    // Refreshes every control in resource-text mode of every window.
    void ReloadText();

    const std::string& GetLastError() const { return error_; }

  private:
    std::map<std::string, std::string> layouts_;
    std::map<std::string, std::string> styles_;
    std::map<std::string, std::string> defaults_;  // key lowered
    std::map<std::string, std::string> texts_;
    std::string language_;
    IQueryControlText* query_ = nullptr;
    std::string error_;
};

}  // namespace gmd::ui
