#include "tools/rc/RcCompiler.h"

#include "platform/windows.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace kitrc
{
namespace
{
// The names the Windows headers give a .rc (windows.h, winres.h, afxres.h, commctrl.h): a
// system include is not read, these stand for it.
const std::map<std::string, std::uint32_t> &SystemNames()
{
    static const std::map<std::string, std::uint32_t> names = {
        {"WS_OVERLAPPED", 0x00000000},
        {"WS_POPUP", 0x80000000},
        {"WS_CHILD", 0x40000000},
        {"WS_MINIMIZE", 0x20000000},
        {"WS_VISIBLE", 0x10000000},
        {"WS_DISABLED", 0x08000000},
        {"WS_CLIPSIBLINGS", 0x04000000},
        {"WS_CLIPCHILDREN", 0x02000000},
        {"WS_MAXIMIZE", 0x01000000},
        {"WS_CAPTION", 0x00C00000},
        {"WS_BORDER", 0x00800000},
        {"WS_DLGFRAME", 0x00400000},
        {"WS_VSCROLL", 0x00200000},
        {"WS_HSCROLL", 0x00100000},
        {"WS_SYSMENU", 0x00080000},
        {"WS_THICKFRAME", 0x00040000},
        {"WS_GROUP", 0x00020000},
        {"WS_TABSTOP", 0x00010000},
        {"WS_MINIMIZEBOX", 0x00020000},
        {"WS_MAXIMIZEBOX", 0x00010000},
        {"WS_EX_DLGMODALFRAME", 0x00000001},
        {"WS_EX_NOPARENTNOTIFY", 0x00000004},
        {"WS_EX_TOPMOST", 0x00000008},
        {"WS_EX_ACCEPTFILES", 0x00000010},
        {"WS_EX_TRANSPARENT", 0x00000020},
        {"WS_EX_TOOLWINDOW", 0x00000080},
        {"WS_EX_WINDOWEDGE", 0x00000100},
        {"WS_EX_CLIENTEDGE", 0x00000200},
        {"WS_EX_CONTEXTHELP", 0x00000400},
        {"WS_EX_RIGHT", 0x00001000},
        {"WS_EX_STATICEDGE", 0x00020000},
        {"WS_EX_CONTROLPARENT", 0x00010000},
        {"WS_EX_APPWINDOW", 0x00040000},
        {"DS_ABSALIGN", 0x01},
        {"DS_SYSMODAL", 0x02},
        {"DS_LOCALEDIT", 0x20},
        {"DS_SETFONT", 0x40},
        {"DS_MODALFRAME", 0x80},
        {"DS_NOIDLEMSG", 0x100},
        {"DS_SETFOREGROUND", 0x200},
        {"DS_3DLOOK", 0x4},
        {"DS_FIXEDSYS", 0x8},
        {"DS_NOFAILCREATE", 0x10},
        {"DS_CONTROL", 0x400},
        {"DS_CENTER", 0x800},
        {"DS_CENTERMOUSE", 0x1000},
        {"DS_CONTEXTHELP", 0x2000},
        {"DS_SHELLFONT", 0x48},
        {"SS_LEFT", 0x0},
        {"SS_CENTER", 0x1},
        {"SS_RIGHT", 0x2},
        {"SS_ICON", 0x3},
        {"SS_BLACKRECT", 0x4},
        {"SS_GRAYRECT", 0x5},
        {"SS_WHITERECT", 0x6},
        {"SS_BLACKFRAME", 0x7},
        {"SS_GRAYFRAME", 0x8},
        {"SS_WHITEFRAME", 0x9},
        {"SS_SIMPLE", 0xB},
        {"SS_LEFTNOWORDWRAP", 0xC},
        {"SS_BITMAP", 0xE},
        {"SS_ETCHEDHORZ", 0x10},
        {"SS_ETCHEDVERT", 0x11},
        {"SS_ETCHEDFRAME", 0x12},
        {"SS_NOPREFIX", 0x80},
        {"SS_NOTIFY", 0x100},
        {"SS_CENTERIMAGE", 0x200},
        {"SS_RIGHTJUST", 0x400},
        {"SS_SUNKEN", 0x1000},
        {"SS_ENDELLIPSIS", 0x4000},
        {"SS_PATHELLIPSIS", 0x8000},
        {"SS_WORDELLIPSIS", 0xC000},
        {"ES_LEFT", 0x0},
        {"ES_CENTER", 0x1},
        {"ES_RIGHT", 0x2},
        {"ES_MULTILINE", 0x4},
        {"ES_UPPERCASE", 0x8},
        {"ES_LOWERCASE", 0x10},
        {"ES_PASSWORD", 0x20},
        {"ES_AUTOVSCROLL", 0x40},
        {"ES_AUTOHSCROLL", 0x80},
        {"ES_NOHIDESEL", 0x100},
        {"ES_OEMCONVERT", 0x400},
        {"ES_READONLY", 0x800},
        {"ES_WANTRETURN", 0x1000},
        {"ES_NUMBER", 0x2000},
        {"BS_PUSHBUTTON", 0x0},
        {"BS_DEFPUSHBUTTON", 0x1},
        {"BS_CHECKBOX", 0x2},
        {"BS_AUTOCHECKBOX", 0x3},
        {"BS_RADIOBUTTON", 0x4},
        {"BS_3STATE", 0x5},
        {"BS_AUTO3STATE", 0x6},
        {"BS_GROUPBOX", 0x7},
        {"BS_USERBUTTON", 0x8},
        {"BS_AUTORADIOBUTTON", 0x9},
        {"BS_OWNERDRAW", 0xB},
        {"BS_LEFTTEXT", 0x20},
        {"BS_TEXT", 0x0},
        {"BS_ICON", 0x40},
        {"BS_BITMAP", 0x80},
        {"BS_LEFT", 0x100},
        {"BS_RIGHT", 0x200},
        {"BS_CENTER", 0x300},
        {"BS_TOP", 0x400},
        {"BS_BOTTOM", 0x800},
        {"BS_VCENTER", 0xC00},
        {"BS_PUSHLIKE", 0x1000},
        {"BS_MULTILINE", 0x2000},
        {"BS_NOTIFY", 0x4000},
        {"BS_FLAT", 0x8000},
        {"CBS_SIMPLE", 0x1},
        {"CBS_DROPDOWN", 0x2},
        {"CBS_DROPDOWNLIST", 0x3},
        {"CBS_OWNERDRAWFIXED", 0x10},
        {"CBS_OWNERDRAWVARIABLE", 0x20},
        {"CBS_AUTOHSCROLL", 0x40},
        {"CBS_OEMCONVERT", 0x80},
        {"CBS_SORT", 0x100},
        {"CBS_HASSTRINGS", 0x200},
        {"CBS_NOINTEGRALHEIGHT", 0x400},
        {"CBS_DISABLENOSCROLL", 0x800},
        {"CBS_UPPERCASE", 0x2000},
        {"CBS_LOWERCASE", 0x4000},
        {"LVS_ICON", 0x0},
        {"LVS_REPORT", 0x1},
        {"LVS_SMALLICON", 0x2},
        {"LVS_LIST", 0x3},
        {"LVS_SINGLESEL", 0x4},
        {"LVS_SHOWSELALWAYS", 0x8},
        {"LVS_SORTASCENDING", 0x10},
        {"LVS_SORTDESCENDING", 0x20},
        {"LVS_SHAREIMAGELISTS", 0x40},
        {"LVS_NOLABELWRAP", 0x80},
        {"LVS_AUTOARRANGE", 0x100},
        {"LVS_EDITLABELS", 0x200},
        {"LVS_NOSCROLL", 0x2000},
        {"LVS_NOCOLUMNHEADER", 0x4000},
        {"LVS_NOSORTHEADER", 0x8000},
        {"IDOK", 1},
        {"IDCANCEL", 2},
        {"IDABORT", 3},
        {"IDRETRY", 4},
        {"IDIGNORE", 5},
        {"IDYES", 6},
        {"IDNO", 7},
        {"IDCLOSE", 8},
        {"IDHELP", 9},
        {"IDC_STATIC", 0xFFFFFFFF},
        {"LANG_NEUTRAL", 0x00},
        {"LANG_ENGLISH", 0x09},
        {"LANG_SPANISH", 0x0A},
        {"SUBLANG_NEUTRAL", 0x00},
        {"SUBLANG_DEFAULT", 0x01},
        {"SUBLANG_SPANISH", 0x01},
        {"SUBLANG_SPANISH_MODERN", 0x03},
        {"SUBLANG_ENGLISH_US", 0x01},
    };
    return names;
}

constexpr std::uint16_t kRtBitmap = 2, kRtIcon = 3, kRtDialog = 5, kRtString = 6, kRtRcData = 10,
                        kRtGroupIcon = 14;
constexpr std::uint32_t kChildVisible = 0x50000000; // WS_CHILD | WS_VISIBLE
constexpr std::uint32_t kTabStop = 0x00010000, kGroup = 0x00020000, kBorder = 0x00800000;

struct Location
{
    std::string file;
    int line = 0;
};

[[noreturn]] void Fail(const Location &where, const std::string &message)
{
    throw RcError(where.file, where.line, message);
}

// ---- Preprocessing: #include, #define, conditionals; comments become blanks.

struct SourceLine
{
    Location where;
    std::string text;
};

// The text with its comments blanked out, line breaks kept; strings are left alone.
std::string WithoutComments(const std::string &text)
{
    std::string out = text;
    bool inString = false;
    for (size_t i = 0; i < out.size(); ++i)
    {
        if (inString)
        {
            if (out[i] == '"')
                inString = false;
            else if (out[i] == '\\' && i + 1 < out.size() && out[i + 1] != '\n')
                ++i;
            else if (out[i] == '\n')
                inString = false;
        }
        else if (out[i] == '"')
            inString = true;
        else if (out.compare(i, 2, "//") == 0)
            for (; i < out.size() && out[i] != '\n'; ++i)
                out[i] = ' ';
        else if (out.compare(i, 2, "/*") == 0)
        {
            size_t end = out.find("*/", i + 2);
            end = end == std::string::npos ? out.size() : end + 2;
            for (; i < end; ++i)
                if (out[i] != '\n')
                    out[i] = ' ';
            --i;
        }
    }
    return out;
}

std::string Trim(std::string_view text)
{
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end - begin + 1));
}

class Preprocessor
{
  public:
    std::map<std::string, std::pair<std::string, Location>> defines; // name -> text, where
    std::vector<SourceLine> lines;
    std::vector<std::string> files;

    void Run(const std::string &path, const Location *includedFrom)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
        {
            if (includedFrom)
                Fail(*includedFrom, "cannot open include file '" + path + "'");
            throw RcError(path, 0, "cannot open the resource script");
        }
        if (++depth_ > 32)
            Fail(*includedFrom, "#include nested too deeply");
        files.push_back(path);
        std::stringstream content;
        content << in.rdbuf();
        std::istringstream text(WithoutComments(content.str()));
        std::string line;
        const size_t conditionsAtStart = conditions_.size();
        for (int number = 1; std::getline(text, line); ++number)
            Line(Location{path, number}, line);
        if (conditions_.size() != conditionsAtStart)
            throw RcError(path, 0, "#if without #endif at the end of the file");
        --depth_;
    }

  private:
    struct Condition
    {
        bool active; // lines are kept
        bool taken;  // a branch of this #if was kept
        bool outerActive;
    };

    bool Active() const { return conditions_.empty() || conditions_.back().active; }

    void Line(const Location &where, const std::string &raw)
    {
        std::string line = Trim(raw);
        if (line.empty() || line[0] != '#')
        {
            if (Active())
                lines.push_back({where, raw});
            return;
        }
        std::istringstream words(line.substr(1));
        std::string directive;
        words >> directive;
        std::string rest;
        std::getline(words, rest);
        rest = Trim(rest);
        Directive(where, directive, rest);
    }

    void Directive(const Location &where, const std::string &directive, const std::string &rest)
    {
        if (directive == "ifdef" || directive == "ifndef")
            Open(Active() && (defines.count(rest) > 0) == (directive == "ifdef"));
        else if (directive == "if")
            Open(Active() && IfValue(where, rest));
        else if (directive == "else" || directive == "elif" || directive == "endif")
            Branch(where, directive, rest);
        else if (!Active())
            return;
        else if (directive == "include")
            Include(where, rest);
        else if (directive == "define")
            Define(where, rest);
        else if (directive == "undef")
            defines.erase(rest);
        else if (directive == "pragma" || directive == "error")
        {
            if (directive == "error")
                Fail(where, "#error " + rest);
        }
        else
            Fail(where, "unknown directive #" + directive);
    }

    void Open(bool active) { conditions_.push_back({active, active, Active()}); }

    void Branch(const Location &where, const std::string &directive, const std::string &rest)
    {
        if (conditions_.empty())
            Fail(where, "#" + directive + " without #if");
        Condition &c = conditions_.back();
        if (directive == "endif")
            conditions_.pop_back();
        else
        {
            const bool wanted = directive == "else" || IfValue(where, rest);
            c.active = c.outerActive && !c.taken && wanted;
            c.taken = c.taken || c.active;
        }
    }

    // The conditions a resource header uses: a number, defined(NAME), !defined(NAME).
    bool IfValue(const Location &where, std::string text)
    {
        text = Trim(text);
        bool negate = false;
        if (!text.empty() && text[0] == '!')
        {
            negate = true;
            text = Trim(text.substr(1));
        }
        bool value;
        if (text.rfind("defined", 0) == 0)
        {
            std::string name = Trim(text.substr(7));
            if (name.size() > 1 && name.front() == '(' && name.back() == ')')
                name = Trim(name.substr(1, name.size() - 2));
            value = defines.count(name) > 0;
        }
        else if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
            value = std::stoul(text) != 0;
        else
            Fail(where, "unsupported #if condition '" + text + "'");
        return value != negate;
    }

    void Include(const Location &where, const std::string &rest)
    {
        if (rest.size() >= 2 && rest.front() == '<' && rest.back() == '>')
            return; // a system header: its names are known without reading it
        if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"')
            Fail(where, "#include wants \"file\" or <file>");
        const std::string name = rest.substr(1, rest.size() - 2);
        Run((fs::path(where.file).parent_path() / name).lexically_normal().string(), &where);
    }

    void Define(const Location &where, const std::string &rest)
    {
        size_t end = 0;
        while (end < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[end])) || rest[end] == '_'))
            ++end;
        if (end == 0)
            Fail(where, "#define wants a name");
        if (end < rest.size() && rest[end] == '(')
            return; // macros with arguments are no resource ids
        defines[rest.substr(0, end)] = {Trim(rest.substr(end)), where};
    }

    std::vector<Condition> conditions_;
    int depth_ = 0;
};

// ---- Tokens.

enum class Kind
{
    Name,
    Number,
    String,
    Punct,
    End
};

struct Token
{
    Kind kind = Kind::End;
    std::string text; // a name, a punctuation mark, or a string's bytes (escapes done)
    std::uint32_t number = 0;
    Location where;
};

bool IsNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

char Escape(const Location &where, char c)
{
    switch (c)
    {
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case 'a':
        return '\a';
    case '\\':
        return '\\';
    case '"':
        return '"';
    case '0':
        return '\0';
    default:
        Fail(where, std::string("unknown escape \\") + c + " in a string");
    }
}

void LexLine(const SourceLine &line, std::vector<Token> &tokens)
{
    const std::string &s = line.text;
    size_t i = 0;
    while (i < s.size())
    {
        const char c = s[i];
        Token token;
        token.where = line.where;
        if (std::isspace(static_cast<unsigned char>(c)))
        {
            ++i;
            continue;
        }
        if (c == '"')
        {
            token.kind = Kind::String;
            for (++i;; ++i)
            {
                if (i >= s.size())
                    Fail(line.where, "string not closed at the end of the line");
                if (s[i] == '"' && i + 1 < s.size() && s[i + 1] == '"')
                    token.text.push_back('"'), ++i;
                else if (s[i] == '"')
                    break;
                else if (s[i] == '\\' && i + 1 < s.size())
                    token.text.push_back(Escape(line.where, s[++i]));
                else
                    token.text.push_back(s[i]);
            }
            ++i;
        }
        else if (std::isdigit(static_cast<unsigned char>(c)))
        {
            size_t end = i;
            while (end < s.size() && std::isalnum(static_cast<unsigned char>(s[end])))
                ++end;
            std::string digits = s.substr(i, end - i);
            while (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l' || digits.back() == 'U' ||
                                       digits.back() == 'u'))
                digits.pop_back();
            size_t used = 0;
            unsigned long long value = 0;
            try
            {
                value = std::stoull(digits, &used, 0);
            }
            catch (const std::exception &)
            {
            }
            if (digits.empty() || used != digits.size() || value > 0xFFFFFFFFull)
                Fail(line.where, "bad number '" + s.substr(i, end - i) + "'");
            token.kind = Kind::Number;
            token.number = static_cast<std::uint32_t>(value);
            token.text = s.substr(i, end - i);
            i = end;
        }
        else if (IsNameStart(c))
        {
            size_t end = i;
            while (end < s.size() && IsNameChar(s[end]))
                ++end;
            token.kind = Kind::Name;
            token.text = s.substr(i, end - i);
            i = end;
        }
        else if (std::string_view(",|(){}+-~&").find(c) != std::string_view::npos)
        {
            token.kind = Kind::Punct;
            token.text = std::string(1, c);
            ++i;
        }
        else
            Fail(line.where, std::string("unexpected character '") + c + "'");
        tokens.push_back(std::move(token));
    }
}

std::vector<Token> Lex(const std::vector<SourceLine> &lines)
{
    std::vector<Token> tokens;
    for (const SourceLine &line : lines)
        LexLine(line, tokens);
    Token end;
    end.where = lines.empty() ? Location{} : lines.back().where;
    tokens.push_back(end);
    return tokens;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::u16string Utf16From1252(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    std::u16string text(bytes.size(), u'\0');
    const int n = MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      reinterpret_cast<LPWSTR>(text.data()), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

Bytes ReadFileBytes(const Location &where, const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail(where, "cannot open '" + path + "'");
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint16_t Le16(const Bytes &b, size_t at)
{
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t Le32(const Bytes &b, size_t at)
{
    return Le16(b, at) | static_cast<std::uint32_t>(Le16(b, at + 2)) << 16;
}

// ---- The script.

// A style expression: bits set and (after NOT) bits cleared from the control's defaults.
struct Style
{
    std::uint32_t set = 0;
    std::uint32_t clear = 0;
    std::uint32_t Over(std::uint32_t base) const { return (base & ~clear) | set; }
};

// A dialog statement that makes a control: its class, default style and whether it has text.
struct ControlKind
{
    std::u16string className;
    std::uint32_t style;
    bool hasText;
};

const std::map<std::string, ControlKind> &ControlKinds()
{
    static const std::map<std::string, ControlKind> kinds = {
        {"LTEXT", {u"Static", 0x0 | kGroup, true}},
        {"RTEXT", {u"Static", 0x2 | kGroup, true}},
        {"CTEXT", {u"Static", 0x1 | kGroup, true}},
        {"EDITTEXT", {u"Edit", 0x0 | kBorder | kTabStop, false}},
        {"PUSHBUTTON", {u"Button", 0x0 | kTabStop, true}},
        {"DEFPUSHBUTTON", {u"Button", 0x1 | kTabStop, true}},
        {"GROUPBOX", {u"Button", 0x7, true}},
        {"CHECKBOX", {u"Button", 0x2 | kTabStop, true}},
        {"AUTOCHECKBOX", {u"Button", 0x3 | kTabStop, true}},
        {"RADIOBUTTON", {u"Button", 0x4 | kTabStop, true}},
        {"AUTORADIOBUTTON", {u"Button", 0x9 | kTabStop, true}},
        {"COMBOBOX", {u"ComboBox", 0x1 | kTabStop, false}},
    };
    return kinds;
}

bool IsMemoryOption(const std::string &word)
{
    static const char *const options[] = {"DISCARDABLE", "MOVEABLE", "FIXED",     "PURE",
                                          "IMPURE",      "PRELOAD",  "LOADONCALL"};
    for (const char *option : options)
        if (word == option)
            return true;
    return false;
}

class Parser
{
  public:
    Parser(std::vector<Token> tokens, const Preprocessor &pre) : tokens_(std::move(tokens)), pre_(pre) {}

    std::vector<Resource> Run()
    {
        while (Peek().kind != Kind::End)
            Statement();
        std::vector<Resource> out;
        for (auto &[block, strings] : stringBlocks_)
            out.push_back({{kRtString, {}}, {block, {}}, WriteStringBlock(strings)});
        for (Resource &resource : resources_)
            out.push_back(std::move(resource));
        return out;
    }

  private:
    const Token &Peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
    const Token &Next()
    {
        const Token &token = Peek();
        if (token.kind != Kind::End)
            ++pos_;
        return token;
    }
    bool IsPunct(const char *mark, size_t ahead = 0) const
    {
        return Peek(ahead).kind == Kind::Punct && Peek(ahead).text == mark;
    }
    bool IsWord(const char *word) const { return Peek().kind == Kind::Name && Peek().text == word; }
    bool Accept(const char *mark)
    {
        if (!IsPunct(mark))
            return false;
        Next();
        return true;
    }
    static std::string Describe(const Token &token)
    {
        switch (token.kind)
        {
        case Kind::End:
            return "the end of the file";
        case Kind::String:
            return "\"" + token.text + "\"";
        default:
            return "'" + token.text + "'";
        }
    }
    void Expect(const char *mark)
    {
        if (!Accept(mark))
            Fail(Peek().where, std::string("expected '") + mark + "', found " + Describe(Peek()));
    }
    bool AtBegin() const { return IsWord("BEGIN") || IsPunct("{"); }
    bool AtEnd() const { return IsWord("END") || IsPunct("}"); }
    void ExpectBegin()
    {
        if (!AtBegin())
            Fail(Peek().where, "expected BEGIN or '{', found " + Describe(Peek()));
        Next();
    }
    std::string ExpectString(const char *what)
    {
        if (Peek().kind != Kind::String)
            Fail(Peek().where, std::string("expected ") + what + " in quotes, found " + Describe(Peek()));
        return Next().text;
    }

    // ---- Expressions.

    std::uint32_t NameValue(const Token &token, int depth)
    {
        auto define = pre_.defines.find(token.text);
        if (define != pre_.defines.end())
        {
            if (depth > 16)
                Fail(token.where, "'" + token.text + "' is defined through itself");
            SourceLine line{define->second.second, define->second.first};
            std::vector<Token> tokens;
            LexLine(line, tokens);
            if (tokens.empty())
                Fail(token.where, "'" + token.text + "' is defined without a value");
            Token end;
            end.where = line.where;
            tokens.push_back(end);
            Parser inner(std::move(tokens), pre_);
            const std::uint32_t value = inner.Or(depth + 1);
            if (inner.Peek().kind != Kind::End)
                Fail(token.where, "the value of '" + token.text + "' is not a number");
            return value;
        }
        auto system = SystemNames().find(token.text);
        if (system != SystemNames().end())
            return system->second;
        Fail(token.where, "undefined name '" + token.text + "'");
    }

    std::uint32_t Primary(int depth)
    {
        const Token &token = Next();
        if (token.kind == Kind::Number)
            return token.number;
        if (token.kind == Kind::Name)
            return NameValue(token, depth);
        if (token.kind == Kind::Punct && token.text == "-")
            return 0u - Primary(depth);
        if (token.kind == Kind::Punct && token.text == "~")
            return ~Primary(depth);
        if (token.kind == Kind::Punct && token.text == "(")
        {
            const std::uint32_t value = Or(depth);
            Expect(")");
            return value;
        }
        Fail(token.where, "expected a number, found " + Describe(token));
    }

    std::uint32_t Sum(int depth)
    {
        std::uint32_t value = Primary(depth);
        for (;;)
        {
            if (Accept("+"))
                value += Primary(depth);
            else if (Accept("-"))
                value -= Primary(depth);
            else if (Accept("&"))
                value &= Primary(depth);
            else
                return value;
        }
    }

    std::uint32_t Or(int depth = 0)
    {
        std::uint32_t value = Sum(depth);
        while (Accept("|"))
            value |= Sum(depth);
        return value;
    }

    std::int16_t Coordinate()
    {
        const Location where = Peek().where;
        const auto value = static_cast<std::int32_t>(Or());
        if (value < -32768 || value > 32767)
            Fail(where, "dialog unit out of range: " + std::to_string(value));
        return static_cast<std::int16_t>(value);
    }

    Style StyleExpr()
    {
        Style style;
        do
        {
            if (IsWord("NOT"))
            {
                Next();
                style.clear |= Sum(0);
            }
            else
                style.set |= Sum(0);
        } while (Accept("|"));
        return style;
    }

    // A resource name or type: a number, a defined name, or else a name of its own.
    ResourceId Id()
    {
        const Token &token = Peek();
        if (token.kind == Kind::Name && !pre_.defines.count(token.text) && !SystemNames().count(token.text))
            return {0, Upper(Next().text)};
        if (token.kind == Kind::String)
            return {0, Upper(Next().text)};
        const std::uint32_t value = Or();
        if (value > 0xFFFF)
            Fail(token.where, "resource id out of range: " + std::to_string(value));
        return {static_cast<std::uint16_t>(value), {}};
    }

    // ---- Statements.

    void Statement()
    {
        if (IsWord("STRINGTABLE"))
            return StringTable();
        if (IsWord("LANGUAGE"))
        {
            Next();
            Or();
            Expect(",");
            Or();
            return;
        }
        const Location where = Peek().where;
        ResourceId name = Id();
        const Token &type = Next();
        if (type.kind == Kind::Name && (type.text == "DIALOGEX" || type.text == "DIALOG"))
            return DialogResource(where, name);
        if (type.kind == Kind::Name && type.text == "STRINGTABLE")
            Fail(type.where, "STRINGTABLE takes no name");
        ResourceId typeId;
        if (type.kind == Kind::Name && type.text == "BITMAP")
            typeId = {kRtBitmap, {}};
        else if (type.kind == Kind::Name && type.text == "ICON")
            typeId = {kRtIcon, {}};
        else if (type.kind == Kind::Name && type.text == "RCDATA")
            typeId = {kRtRcData, {}};
        else if (type.kind == Kind::Name)
            typeId = {0, Upper(type.text)};
        else if (type.kind == Kind::Number && type.number <= 0xFFFF)
            typeId = {static_cast<std::uint16_t>(type.number), {}};
        else
            Fail(type.where, "expected a resource type, found " + Describe(type));
        while (Peek().kind == Kind::Name && IsMemoryOption(Peek().text))
            Next();
        const Token &file = Peek();
        const std::string path =
            (fs::path(file.where.file).parent_path() / ExpectString("a file name")).string();
        files_.push_back(path);
        Bytes bytes = ReadFileBytes(file.where, path);
        if (typeId.ordinal == kRtBitmap && typeId.text.empty())
            return Bitmap(file.where, name, std::move(bytes));
        if (typeId.ordinal == kRtIcon && typeId.text.empty())
            return Icon(file.where, name, bytes);
        Add(where, typeId, name, std::move(bytes));
    }

    void Add(const Location &where, const ResourceId &type, const ResourceId &name, Bytes data)
    {
        for (const Resource &r : resources_)
            if (!(r.type < type) && !(type < r.type) && !(r.name < name) && !(name < r.name))
                Fail(where, "resource defined twice");
        resources_.push_back({type, name, std::move(data)});
    }

    // A bitmap resource is the file without its BITMAPFILEHEADER.
    void Bitmap(const Location &where, const ResourceId &name, Bytes bytes)
    {
        if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M')
            Fail(where, "not a bitmap file (BM header missing)");
        bytes.erase(bytes.begin(), bytes.begin() + 14);
        Add(where, {kRtBitmap, {}}, name, std::move(bytes));
    }

    // An icon file becomes one RT_ICON per image and an RT_GROUP_ICON directory naming them.
    void Icon(const Location &where, const ResourceId &name, const Bytes &bytes)
    {
        if (bytes.size() < 6 || Le16(bytes, 0) != 0 || Le16(bytes, 2) != 1)
            Fail(where, "not an icon file");
        const std::uint16_t count = Le16(bytes, 4);
        if (count == 0 || bytes.size() < 6 + 16u * count)
            Fail(where, "icon file cut short");
        Bytes group(bytes.begin(), bytes.begin() + 6);
        for (std::uint16_t i = 0; i < count; ++i)
        {
            const size_t entry = 6 + 16u * i;
            const std::uint32_t size = Le32(bytes, entry + 8), offset = Le32(bytes, entry + 12);
            if (offset > bytes.size() || size > bytes.size() - offset)
                Fail(where, "icon image " + std::to_string(i) + " lies outside the file");
            const std::uint16_t imageId = ++iconImages_;
            Add(where, {kRtIcon, {}}, {imageId, {}},
                Bytes(bytes.begin() + offset, bytes.begin() + offset + size));
            group.insert(group.end(), bytes.begin() + entry, bytes.begin() + entry + 12);
            group.push_back(static_cast<std::uint8_t>(imageId));
            group.push_back(static_cast<std::uint8_t>(imageId >> 8));
        }
        Add(where, {kRtGroupIcon, {}}, name, std::move(group));
    }

    void SkipOptions()
    {
        while (!AtBegin() && Peek().kind != Kind::End)
        {
            const Token &word = Next();
            if (word.kind == Kind::Name && word.text == "LANGUAGE")
            {
                Or();
                Expect(",");
                Or();
            }
            else if (word.kind == Kind::Name && (word.text == "CHARACTERISTICS" || word.text == "VERSION"))
                Or();
            else if (!(word.kind == Kind::Name && IsMemoryOption(word.text)))
                Fail(word.where, "expected BEGIN or '{', found " + Describe(word));
        }
    }

    void StringTable()
    {
        Next();
        SkipOptions();
        ExpectBegin();
        while (!AtEnd())
        {
            const Token &first = Peek();
            if (first.kind == Kind::End)
                Fail(first.where, "STRINGTABLE not closed with END");
            const std::uint32_t id = Or();
            if (id > 0xFFFF)
                Fail(first.where, "string id out of range: " + std::to_string(id));
            Accept(",");
            const std::string text = ExpectString("the string");
            auto [it, added] = stringIds_.emplace(id, first.where);
            if (!added)
                Fail(first.where, "string " + std::to_string(id) + " defined twice (first at " +
                                      it->second.file + ":" + std::to_string(it->second.line) + ")");
            stringBlocks_[static_cast<std::uint16_t>(id / 16 + 1)][id % 16] = Utf16From1252(text);
        }
        Next();
    }

    void DialogResource(const Location &where, const ResourceId &name)
    {
        Dialog dialog;
        dialog.x = Coordinate();
        Expect(",");
        dialog.y = Coordinate();
        Expect(",");
        dialog.cx = Coordinate();
        Expect(",");
        dialog.cy = Coordinate();
        if (Accept(","))
            dialog.helpId = Or();
        std::uint32_t style = 0x80880000; // WS_POPUP | WS_BORDER | WS_SYSMENU without STYLE
        bool caption = false, font = false;
        while (!AtBegin())
        {
            const Token &word = Next();
            const std::string keyword = word.kind == Kind::Name ? word.text : std::string();
            if (keyword == "STYLE")
                style = StyleExpr().Over(0);
            else if (keyword == "EXSTYLE")
                dialog.exStyle = StyleExpr().Over(0);
            else if (keyword == "CAPTION")
            {
                dialog.caption = Utf16From1252(ExpectString("the caption"));
                caption = true;
            }
            else if (keyword == "FONT")
            {
                Font(dialog);
                font = true;
            }
            else if (keyword == "CLASS")
                dialog.className = Utf16From1252(ExpectString("the class name"));
            else if (keyword == "MENU")
            {
                const ResourceId menu = Id();
                dialog.menu = Utf16From1252(menu.text.empty() ? std::to_string(menu.ordinal) : menu.text);
            }
            else if (keyword == "LANGUAGE")
            {
                Or();
                Expect(",");
                Or();
            }
            else if (keyword == "CHARACTERISTICS" || keyword == "VERSION" || IsMemoryOption(keyword))
            {
                if (!IsMemoryOption(keyword))
                    Or();
            }
            else
                Fail(word.where, "expected a dialog statement or BEGIN, found " + Describe(word));
        }
        dialog.style = style | (caption ? 0x00C00000u : 0u) | (font ? kDsSetFont : 0u);
        Next();
        while (!AtEnd())
            dialog.items.push_back(Control());
        Next();
        Add(where, {kRtDialog, {}}, name, WriteDialog(dialog));
    }

    void Font(Dialog &dialog)
    {
        dialog.pointSize = static_cast<std::uint16_t>(Or());
        Expect(",");
        dialog.typeface = Utf16From1252(ExpectString("the font's name"));
        dialog.charset = 1; // DEFAULT_CHARSET
        if (Accept(","))
        {
            dialog.weight = static_cast<std::uint16_t>(Or());
            if (Accept(","))
            {
                dialog.italic = static_cast<std::uint8_t>(Or());
                if (Accept(","))
                    dialog.charset = static_cast<std::uint8_t>(Or());
            }
        }
    }

    void Rectangle(DialogItem &item)
    {
        item.x = Coordinate();
        Expect(",");
        item.y = Coordinate();
        Expect(",");
        item.cx = Coordinate();
        Expect(",");
        item.cy = Coordinate();
    }

    // The optional ", exstyle [, helpid]" that ends a control.
    void Tail(DialogItem &item)
    {
        if (Accept(","))
        {
            item.exStyle = StyleExpr().Over(0);
            if (Accept(","))
                item.helpId = Or();
        }
    }

    DialogItem Control()
    {
        const Token &word = Next();
        if (word.kind == Kind::End)
            Fail(word.where, "dialog not closed with END");
        if (word.kind == Kind::Name && word.text == "CONTROL")
            return GeneralControl();
        auto kind = word.kind == Kind::Name ? ControlKinds().find(word.text) : ControlKinds().end();
        if (kind == ControlKinds().end())
            Fail(word.where, "unknown control " + Describe(word));
        DialogItem item;
        item.className = kind->second.className;
        if (kind->second.hasText)
        {
            item.text = Utf16From1252(ExpectString("the control's text"));
            Expect(",");
        }
        item.id = Or();
        Expect(",");
        Rectangle(item);
        Style style;
        if (Accept(","))
            style = StyleExpr();
        item.style = style.Over(kChildVisible | kind->second.style);
        Tail(item);
        return item;
    }

    // CONTROL "text", id, "class", style, x, y, cx, cy [, exstyle [, helpid]]
    DialogItem GeneralControl()
    {
        DialogItem item;
        item.text = Utf16From1252(ExpectString("the control's text"));
        Expect(",");
        item.id = Or();
        Expect(",");
        item.className = Utf16From1252(ExpectString("the window class"));
        Expect(",");
        item.style = StyleExpr().Over(kChildVisible);
        Expect(",");
        Rectangle(item);
        Tail(item);
        return item;
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    const Preprocessor &pre_;
    std::vector<Resource> resources_;
    std::map<std::uint16_t, std::u16string[16]> stringBlocks_;
    std::map<std::uint32_t, Location> stringIds_;
    std::uint16_t iconImages_ = 0;

  public:
    std::vector<std::string> files_;
};

std::string CString(const std::string &text)
{
    return "\"" + text + "\"";
}

void EmitBytes(std::ostringstream &out, const Bytes &data)
{
    for (size_t i = 0; i < data.size(); ++i)
    {
        out << (i % 16 == 0 ? "\n    " : " ") << "0x" << std::hex << static_cast<unsigned>(data[i])
            << std::dec << ",";
    }
    out << "\n";
}

void EmitId(std::ostringstream &out, const ResourceId &id)
{
    if (id.text.empty())
        out << id.ordinal << ", nullptr";
    else
        out << "0, " << CString(id.text);
}
} // namespace

Compiled CompileRc(const std::string &path)
{
    Preprocessor pre;
    pre.Run(path, nullptr);
    Parser parser(Lex(pre.lines), pre);
    Compiled compiled;
    compiled.resources = parser.Run();
    compiled.files = pre.files;
    compiled.files.insert(compiled.files.end(), parser.files_.begin(), parser.files_.end());
    return compiled;
}

std::string GenerateSource(const Compiled &compiled, const std::string &rcName)
{
    std::ostringstream out;
    out << "// The resources of " << rcName << ", compiled by tools/rc. Generated: do not edit.\n"
        << "#include \"platform/kit/kitresource.h\"\n\nnamespace\n{\n"
        << "const unsigned char kNoData[1] = {0};\n";
    for (size_t i = 0; i < compiled.resources.size(); ++i)
        if (!compiled.resources[i].data.empty())
        {
            out << "alignas(4) const unsigned char kData" << i << "[] = {";
            EmitBytes(out, compiled.resources[i].data);
            out << "};\n";
        }
    out << "const kitpc::ResourceEntry kEntries[] = {\n";
    for (size_t i = 0; i < compiled.resources.size(); ++i)
    {
        const Resource &r = compiled.resources[i];
        out << "    {";
        EmitId(out, r.type);
        out << ", ";
        EmitId(out, r.name);
        if (r.data.empty())
            out << ", kNoData, 0},\n";
        else
            out << ", kData" << i << ", sizeof kData" << i << "},\n";
    }
    if (compiled.resources.empty())
        out << "    {0, nullptr, 0, nullptr, kNoData, 0},\n";
    out << "};\nconst kitpc::ResourceRegistration kRegistration(kEntries, " << compiled.resources.size()
        << ");\n} // namespace\n";
    return out.str();
}

std::string DependencyLine(const Compiled &compiled, const std::string &target)
{
    auto escaped = [](const std::string &path) {
        std::string out;
        for (char c : path)
        {
            if (c == ' ' || c == '#')
                out.push_back('\\');
            out.push_back(c);
        }
        return out;
    };
    std::string line = escaped(target) + ":";
    for (const std::string &file : compiled.files)
        line += " " + escaped(file);
    return line + "\n";
}
} // namespace kitrc
