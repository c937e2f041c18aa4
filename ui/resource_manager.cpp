// Resource index, language texts and the shared skin XML reader.

#include "ui/resource_manager.h"

#include <QString>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/text.h"
#include "ui/control.h"
#include "ui/paint_manager.h"

namespace gmd::ui {

namespace {

// Deep enough for any real layout, shallow enough that recursive walks of the tree are safe.
constexpr size_t kMaxXmlDepth = 128;
// Skin files are small; anything bigger is not one.
constexpr size_t kMaxSkinFileSize = 16u * 1024u * 1024u;

int LineOfByte(const std::string& bytes, size_t offset) {
    return 1 + static_cast<int>(std::count(
                   bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// Offset of the first byte that does not start or continue a valid UTF-8 sequence, or npos.
size_t FindInvalidUtf8(const std::string& s, size_t from) {
    size_t i = from;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07u;
        } else {
            return i;
        }
        if (i + len > s.size()) {
            return i;
        }
        for (size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0u) != 0x80u) {
                return i;
            }
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return i;
        }
        i += len;
    }
    return std::string::npos;
}

bool DecodeDocument(const std::string& bytes, QString& text, int& errorLine, std::string& error) {
    const auto starts = [&](std::initializer_list<unsigned char> bom) {
        if (bytes.size() < bom.size()) {
            return false;
        }
        size_t i = 0;
        for (unsigned char b : bom) {
            if (static_cast<unsigned char>(bytes[i++]) != b) {
                return false;
            }
        }
        return true;
    };
    if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF})) {
        QStringDecoder decoder(starts({0xFF, 0xFE}) ? QStringConverter::Utf16LE
                                                    : QStringConverter::Utf16BE);
        text = decoder(QByteArrayView(bytes.data() + 2, static_cast<qsizetype>(bytes.size() - 2)));
        if (decoder.hasError()) {
            errorLine = 1;
            error = "not valid UTF-16 text";
            return false;
        }
        return true;
    }
    const size_t from = starts({0xEF, 0xBB, 0xBF}) ? 3 : 0;
    const size_t bad = FindInvalidUtf8(bytes, from);
    if (bad != std::string::npos) {
        errorLine = LineOfByte(bytes, bad);
        error = "not valid UTF-8 text";
        return false;
    }
    text = QString::fromUtf8(bytes.data() + from, static_cast<qsizetype>(bytes.size() - from));
    return true;
}

bool IsXmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Start lines of the attribute names in a start tag's text (the reader has checked its form).
std::vector<std::pair<QString, qsizetype>> ScanAttributeOffsets(const QString& text,
                                                                qsizetype start, qsizetype end) {
    std::vector<std::pair<QString, qsizetype>> found;
    qsizetype i = start + 1;
    while (i < end && !IsXmlSpace(text[i]) && text[i] != u'>' && text[i] != u'/') {
        ++i;
    }
    while (i < end) {
        while (i < end && IsXmlSpace(text[i])) {
            ++i;
        }
        if (i >= end || text[i] == u'>' || text[i] == u'/') {
            break;
        }
        const qsizetype nameStart = i;
        while (i < end && !IsXmlSpace(text[i]) && text[i] != u'=') {
            ++i;
        }
        found.emplace_back(text.mid(nameStart, i - nameStart), nameStart);
        while (i < end && text[i] != u'"' && text[i] != u'\'') {
            ++i;
        }
        if (i >= end) {
            break;
        }
        const QChar quote = text[i++];
        while (i < end && text[i] != quote) {
            ++i;
        }
        ++i;
    }
    return found;
}

}  // namespace

bool ParseXmlDocument(const std::string& bytes, XmlElement& root, int& errorLine,
                      std::string& error) {
    root = XmlElement{};
    QString text;
    if (!DecodeDocument(bytes, text, errorLine, error)) {
        return false;
    }
    std::vector<qsizetype> newlines;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            newlines.push_back(i);
        }
    }
    const auto lineAt = [&](qsizetype offset) {
        return 1 + static_cast<int>(std::lower_bound(newlines.begin(), newlines.end(), offset) -
                                    newlines.begin());
    };

    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    std::vector<XmlElement*> open;
    bool haveRoot = false;
    qsizetype tokenStart = 0;
    const auto fail = [&](int line, std::string what) {
        errorLine = line;
        error = std::move(what);
        return false;
    };
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (reader.hasError()) {
            break;
        }
        const auto tokenEnd = static_cast<qsizetype>(reader.characterOffset());
        switch (token) {
            case QXmlStreamReader::StartElement: {
                if (open.size() >= kMaxXmlDepth) {
                    return fail(static_cast<int>(reader.lineNumber()),
                                "elements nested too deeply");
                }
                XmlElement* element = nullptr;
                if (open.empty()) {
                    element = &root;
                    haveRoot = true;
                } else {
                    element = &open.back()->children.emplace_back();
                }
                qsizetype start = text.indexOf(u'<', tokenStart);
                if (start < 0 || start > tokenEnd) {
                    start = tokenStart;
                }
                element->tag = reader.qualifiedName().toString().toStdString();
                element->line = lineAt(start);
                const auto scanned = ScanAttributeOffsets(text, start, tokenEnd);
                std::vector<bool> used(scanned.size(), false);
                for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                    XmlAttribute out;
                    const QString name = attribute.qualifiedName().toString();
                    out.name = name.toStdString();
                    out.value = attribute.value().toString().toStdString();
                    out.line = element->line;
                    for (size_t k = 0; k < scanned.size(); ++k) {
                        if (!used[k] && scanned[k].first == name) {
                            used[k] = true;
                            out.line = lineAt(scanned[k].second);
                            break;
                        }
                    }
                    element->attributes.push_back(std::move(out));
                }
                open.push_back(element);
                break;
            }
            case QXmlStreamReader::EndElement:
                if (!open.empty()) {
                    open.pop_back();
                }
                break;
            case QXmlStreamReader::Characters:
                if (!open.empty()) {
                    XmlElement& element = *open.back();
                    const QStringView chars = reader.text();
                    if (element.textLine == 0) {
                        qsizetype lead = 0;
                        while (lead < chars.size() && IsXmlSpace(chars[lead])) {
                            ++lead;
                        }
                        if (lead < chars.size()) {
                            element.textLine = lineAt(tokenStart + lead);
                        }
                    }
                    element.text += chars.toString().toStdString();
                }
                break;
            case QXmlStreamReader::DTD:
                return fail(static_cast<int>(reader.lineNumber()),
                            "document type declarations are not allowed");
            case QXmlStreamReader::EntityReference:
                return fail(static_cast<int>(reader.lineNumber()),
                            "unknown entity '&" + reader.name().toString().toStdString() + ";'");
            default:
                break;
        }
        tokenStart = tokenEnd;
    }
    if (reader.hasError()) {
        return fail(static_cast<int>(reader.lineNumber()),
                    "broken XML: " + reader.errorString().toStdString());
    }
    if (!haveRoot) {
        return fail(1, "no root element");
    }
    return true;
}

bool ParseAttributeList(const std::string& list, AttributeList& out, std::string* error) {
    out.clear();
    const auto fail = [&](const std::string& what) {
        if (error != nullptr) {
            *error = what;
        }
        out.clear();
        return false;
    };
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' ||
               c == '.' || c == ':';
    };
    size_t i = 0;
    while (true) {
        while (i < list.size() && isSpace(list[i])) {
            ++i;
        }
        if (i >= list.size()) {
            return true;
        }
        const size_t nameStart = i;
        while (i < list.size() && isNameChar(list[i])) {
            ++i;
        }
        if (i == nameStart) {
            return fail("expected an attribute name at '" + list.substr(nameStart, 20) + "'");
        }
        std::string name = list.substr(nameStart, i - nameStart);
        while (i < list.size() && isSpace(list[i])) {
            ++i;
        }
        if (i >= list.size() || list[i] != '=') {
            return fail("expected '=' after '" + name + "'");
        }
        ++i;
        while (i < list.size() && isSpace(list[i])) {
            ++i;
        }
        if (i >= list.size() || (list[i] != '"' && list[i] != '\'')) {
            return fail("expected a quoted value for '" + name + "'");
        }
        const char quote = list[i++];
        const size_t close = list.find(quote, i);
        if (close == std::string::npos) {
            return fail("unterminated value of '" + name + "'");
        }
        std::string value = list.substr(i, close - i);
        i = close + 1;
        if (i < list.size() && !isSpace(list[i])) {
            return fail("expected a space after the value of '" + name + "'");
        }
        out.emplace_back(std::move(name), std::move(value));
    }
}

std::string SkinFilePath(const std::string& file) {
    if (!file.empty() && file.front() == '/') {
        return file;
    }
    return CPaintManagerUI::GetResourcePath() + file;
}

bool ReadSkinFile(const std::string& file, std::string& content, std::string& error) {
    content.clear();
    const std::string path = SkinFilePath(file);
    // Devices and pipes are no skin files, and reading one could block or never end.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        error = "cannot open " + path + ": not a regular file";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    while (true) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
        content.append(buffer, n);
        if (content.size() > kMaxSkinFileSize) {
            error = "cannot open " + path + ": larger than a skin file can be";
            content.clear();
            return false;
        }
        if (n < sizeof buffer) {
            if (std::ferror(f.get()) != 0) {
                error = "cannot read " + path + ": " + std::strerror(errno);
                content.clear();
                return false;
            }
            return true;
        }
    }
}

namespace {

// Checks the attributes of a res.xml or language element: each must be one of `allowed`, and
// the ones named in `required` must be present. Values land in `values` by the allowed name.
bool TakeAttributes(const XmlElement& element, std::initializer_list<const char*> allowed,
                    std::initializer_list<const char*> required,
                    std::map<std::string, std::string>& values, int& line, std::string& what) {
    values.clear();
    for (const XmlAttribute& attribute : element.attributes) {
        const char* match = nullptr;
        for (const char* name : allowed) {
            if (EqualsIgnoreCase(attribute.name, name)) {
                match = name;
            }
        }
        if (match == nullptr) {
            line = attribute.line;
            what = "unknown attribute '" + attribute.name + "' on <" + element.tag + ">";
            return false;
        }
        values[match] = attribute.value;
    }
    for (const char* name : required) {
        if (values.count(name) == 0) {
            line = element.line;
            what = "<" + element.tag + "> needs a '" + name + "' attribute";
            return false;
        }
    }
    return true;
}

bool NoContent(const XmlElement& element, int& line, std::string& what) {
    if (!element.children.empty()) {
        line = element.children.front().line;
        what = "<" + element.tag + "> cannot hold <" + element.children.front().tag + ">";
        return false;
    }
    if (element.textLine != 0) {
        line = element.textLine;
        what = "unexpected text in <" + element.tag + ">";
        return false;
    }
    return true;
}

}  // namespace

CResourceManager* CResourceManager::GetInstance() {
    static CResourceManager instance;
    return &instance;
}

bool CResourceManager::LoadResource(const std::string& indexFile, const char* /*type*/) {
    std::string content;
    if (!ReadSkinFile(indexFile, content, error_)) {
        return false;
    }
    return LoadResourceFromText(content, indexFile);
}

bool CResourceManager::LoadResourceFromText(const std::string& xml, const std::string& sourceName) {
    XmlElement root;
    int line = 0;
    std::string what;
    const auto fail = [&]() {
        error_ = sourceName + ":" + std::to_string(line) + ": " + what;
        return false;
    };
    if (!ParseXmlDocument(xml, root, line, what)) {
        return fail();
    }
    if (!EqualsIgnoreCase(root.tag, "Resources")) {
        line = root.line;
        what = "the root element must be <Resources>, not <" + root.tag + ">";
        return fail();
    }
    std::map<std::string, std::string> values;
    if (!TakeAttributes(root, {}, {}, values, line, what)) {
        return fail();
    }
    if (root.textLine != 0) {
        line = root.textLine;
        what = "unexpected text in <Resources>";
        return fail();
    }
    std::map<std::string, std::string> layouts, styles, defaults;
    for (const XmlElement& element : root.children) {
        if (!NoContent(element, line, what)) {
            return fail();
        }
        const auto checkList = [&](const std::string& owner) {
            AttributeList parsed;
            std::string listError;
            if (!ParseAttributeList(values["value"], parsed, &listError)) {
                line = element.line;
                what = "bad attribute list in " + owner + ": " + listError;
                return false;
            }
            return true;
        };
        if (EqualsIgnoreCase(element.tag, "Layout")) {
            if (!TakeAttributes(element, {"name", "file"}, {"name", "file"}, values, line, what)) {
                return fail();
            }
            layouts[values["name"]] = values["file"];
        } else if (EqualsIgnoreCase(element.tag, "Style")) {
            if (!TakeAttributes(element, {"name", "value"}, {"name", "value"}, values, line,
                                what) ||
                !checkList("style '" + values["name"] + "'")) {
                return fail();
            }
            styles[values["name"]] = values["value"];
        } else if (EqualsIgnoreCase(element.tag, "Default")) {
            if (!TakeAttributes(element, {"class", "value"}, {"class", "value"}, values, line,
                                what) ||
                !checkList("the default of '" + values["class"] + "'")) {
                return fail();
            }
            defaults[Lower(values["class"])] = values["value"];
        } else {
            line = element.line;
            what = "unknown element <" + element.tag + "> in <Resources>";
            return fail();
        }
    }
    // Only a file that loaded completely changes anything.
    for (auto& [k, v] : layouts) {
        layouts_[k] = v;
    }
    for (auto& [k, v] : styles) {
        styles_[k] = v;
    }
    for (auto& [k, v] : defaults) {
        defaults_[k] = v;
    }
    error_.clear();
    return true;
}

void CResourceManager::Release() {
    layouts_.clear();
    styles_.clear();
    defaults_.clear();
    texts_.clear();
    error_.clear();
}

std::string CResourceManager::GetXmlPath(const std::string& name) const {
    const auto it = layouts_.find(name);
    return it == layouts_.end() ? std::string() : it->second;
}

std::string CResourceManager::GetStyle(const std::string& name) const {
    const auto it = styles_.find(name);
    return it == styles_.end() ? std::string() : it->second;
}

std::string CResourceManager::GetDefaultAttributeList(const std::string& className) const {
    const auto it = defaults_.find(Lower(className));
    return it == defaults_.end() ? std::string() : it->second;
}

bool CResourceManager::LoadLanguage(const std::string& file) {
    std::string content;
    if (!ReadSkinFile(file, content, error_)) {
        return false;
    }
    return LoadLanguageFromText(content, file);
}

bool CResourceManager::LoadLanguageFromText(const std::string& xml, const std::string& sourceName) {
    XmlElement root;
    int line = 0;
    std::string what;
    const auto fail = [&]() {
        error_ = sourceName + ":" + std::to_string(line) + ": " + what;
        return false;
    };
    if (!ParseXmlDocument(xml, root, line, what)) {
        return fail();
    }
    if (!EqualsIgnoreCase(root.tag, "Language")) {
        line = root.line;
        what = "the root element must be <Language>, not <" + root.tag + ">";
        return fail();
    }
    std::map<std::string, std::string> values;
    if (!TakeAttributes(root, {"name"}, {}, values, line, what)) {
        return fail();
    }
    if (root.textLine != 0) {
        line = root.textLine;
        what = "unexpected text in <Language>";
        return fail();
    }
    std::map<std::string, std::string> texts;
    for (const XmlElement& element : root.children) {
        if (!EqualsIgnoreCase(element.tag, "Text")) {
            line = element.line;
            what = "unknown element <" + element.tag + "> in <Language>";
            return fail();
        }
        if (!TakeAttributes(element, {"id"}, {"id"}, values, line, what)) {
            return fail();
        }
        if (!element.children.empty()) {
            line = element.children.front().line;
            what = "<Text> holds plain text only, not <" + element.children.front().tag + ">";
            return fail();
        }
        if (values["id"].empty()) {
            line = element.line;
            what = "empty text id";
            return fail();
        }
        texts[values["id"]] = element.text;
    }
    texts_ = std::move(texts);
    error_.clear();
    return true;
}

std::string CResourceManager::GetText(const std::string& id, const std::string& type) const {
    const auto it = texts_.find(id);
    if (it != texts_.end()) {
        return it->second;
    }
    if (query_ != nullptr) {
        std::string answer = query_->QueryControlText(id, type);
        if (!answer.empty()) {
            return answer;
        }
    }
    return id;
}

bool CResourceManager::HasText(const std::string& id) const {
    return texts_.count(id) != 0;
}

void CResourceManager::ReloadText() {
    // Containers pass the reload on to their children.
    for (CPaintManagerUI* manager : CPaintManagerUI::GetAllManagers()) {
        if (CControlUI* root = manager->GetRoot()) {
            root->ReloadText();
        }
        manager->ReloadTitle();
    }
}

}  // namespace gmd::ui
