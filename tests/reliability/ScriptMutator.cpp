#include "ScriptMutator.h"

#include <windows.h>

#include <cstdio>
#include <random>

namespace {

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

class Random {
public:
    Random(uint32_t seed, uint32_t index)
    {
        std::seed_seq sequence{seed, index};
        engine_.seed(sequence);
    }
    // 0 .. count - 1
    size_t Below(size_t count) { return count == 0 ? 0 : std::uniform_int_distribution<size_t>(0, count - 1)(engine_); }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }

private:
    std::mt19937 engine_;
};

const std::vector<std::string> kKeyNames = {
    "Alpha", "Beta", "Gamma", "CLSID", "clsid", "TypeLib", "TYPELIB", "Programmable", "InprocServer32",
    "{E3541FCC-DCF0-4045-898B-2795D6CD0E87}", "'Two Words'", "'It''s'", "'='", "'{'", "'}'", "'Delete'",
    "'NoRemove'", "Morvaleth.Validate", "100%%", "a.b.c", "'%MODULE%'", "'Val'", "\\", "x\\y", "''",
};
const std::vector<std::string> kValueNames = {
    "ThreadingModel", "''", "'Has Space'", "a\\b", "Name", "'x''y'", "Val", "=", "'%MODULE%'",
};
const std::vector<std::string> kTypes = {"s", "S", "d", "D", "b", "B", "sz", "x", "'s'"};
const std::vector<std::string> kStrings = {
    "'text'", "''", "'%MODULE%'", "'a''b'", "word", "'{'", "'}'", "'with = sign'", "%MODULE%", "'%%'",
};
const std::vector<std::string> kNumbers = {"0", "1", "4294967295", "4294967296", "-1", "0x10", "&H10",
                                           "abc", "'12'", "1e3", "''", "' 7 '"};
const std::vector<std::string> kBinaries = {"''", "00", "0A1b", "abc", "zz", "'deadbeef'", "0", "'0 1'"};
const std::vector<std::string> kWords = {"{", "}", "=", "Delete", "ForceRemove", "NoRemove", "Val", "val",
                                         "s", "d", "b", "'", "''", "{x", "}x", "=x", "%", "%%"};
const std::vector<std::string> kPercents = {
    "%", "%%", "%MODULE%", "%module%", "%Module", "%" + std::string(31, 'x') + "%",
    "%" + std::string(32, 'x') + "%", "%UNKNOWN%", "100%", " %% ", "%%%",
};
// Lead bytes of double-byte code pages (932, 936, 949, 950 share 0x81 .. 0xFE in part).
const std::vector<std::string> kLeadBytes = {"\x81", "\x82", "\x9f", "\xe0", "\xfc", "\xfe"};
const std::vector<char> kStrayBytes = {'{', '}', '\'', '=', '%', '\\', ' ', '\t', '\r', '\n', '\x81', 'x'};

std::string TypedValue(Random& random)
{
    std::string type = random.Pick(kTypes);
    std::string value;
    switch (tolower(static_cast<unsigned char>(type[type[0] == '\'' ? 1 : 0]))) {
    case 'd':
        value = random.Pick(kNumbers);
        break;
    case 'b':
        value = random.Pick(kBinaries);
        break;
    default:
        value = random.Pick(kStrings);
        break;
    }
    return type + " " + value;
}

std::string KeyName(Random& random)
{
    if (random.Chance(25))
        return "K" + std::to_string(random.Between(0, 9));
    return random.Pick(kKeyNames);
}

void Entries(Random& random, int depth, std::string& out);

void Entry(Random& random, int depth, std::string& out)
{
    std::string indent(depth, '\t');
    if (random.Chance(12)) {
        out += indent + "val " + random.Pick(kValueNames) + " = " + TypedValue(random) + "\r\n";
        return;
    }
    int mark = random.Between(0, 9);
    out += indent + (mark == 0 ? "ForceRemove " : mark == 1 ? "NoRemove " : mark == 2 ? "Delete " : "");
    out += KeyName(random);
    if (random.Chance(50))
        out += " = " + TypedValue(random);
    if (depth < 5 && (mark != 2 || random.Chance(10)) && random.Chance(35)) {
        out += "\r\n" + indent + "{\r\n";
        Entries(random, depth + 1, out);
        out += indent + "}";
    }
    out += "\r\n";
}

void Entries(Random& random, int depth, std::string& out)
{
    int count = random.Between(0, 4);
    for (int i = 0; i < count; ++i)
        Entry(random, depth, out);
}

// A script that follows the grammar, with words that the grammar treats specially.
std::string RandomScript(Random& random, const std::vector<std::string>& roots)
{
    std::string out;
    int blocks = random.Between(1, 3);
    for (int i = 0; i < blocks; ++i) {
        out += random.Pick(roots) + "\r\n{\r\n";
        Entries(random, 1, out);
        out += "}\r\n";
    }
    return out;
}

// A script of the grammar whose every key has a name of its own and that marks no key
// "NoRemove" or "Delete": the undo of a failed block can then remove all that the block created.
class PlainScript {
public:
    explicit PlainScript(Random& random) : random_(random) {}

    std::string Make(const std::vector<std::string>& roots)
    {
        std::string out;
        int blocks = random_.Between(1, 3);
        for (int i = 0; i < blocks; ++i) {
            out += random_.Pick(roots) + "\r\n{\r\n";
            Entries(1, out);
            out += "}\r\n";
        }
        return out;
    }

private:
    std::string UniqueName()
    {
        std::string name = "P" + std::to_string(next_++);
        int form = random_.Between(0, 5);
        return form == 0 ? "'" + name + " x'" : form == 1 ? "'" + name + "''q'" : name;
    }

    void Entries(int depth, std::string& out)
    {
        int count = random_.Between(0, 4);
        std::string indent(depth, '\t');
        for (int i = 0; i < count; ++i) {
            if (random_.Chance(12)) {
                out += indent + "val " + random_.Pick(kValueNames) + " = " + TypedValue(random_) + "\r\n";
                continue;
            }
            out += indent + (random_.Chance(10) ? "ForceRemove " : "") + UniqueName();
            if (random_.Chance(50))
                out += " = " + TypedValue(random_);
            if (depth < 5 && random_.Chance(35)) {
                out += "\r\n" + indent + "{\r\n";
                Entries(depth + 1, out);
                out += indent + "}";
            }
            out += "\r\n";
        }
    }

    Random& random_;
    int next_ = 0;
};

// Words of the language in no particular order, most often after a root and a brace.
std::string TokenSoup(Random& random, const std::vector<std::string>& roots)
{
    std::string out = random.Chance(80) ? random.Pick(roots) + " { " : "";
    int count = random.Between(1, 40);
    for (int i = 0; i < count; ++i) {
        int kind = random.Between(0, 5);
        out += kind == 0 ? random.Pick(roots) : kind == 1 ? KeyName(random) : kind == 2 ? TypedValue(random)
                                                                                          : random.Pick(kWords);
        out += random.Chance(70) ? " " : "\r\n";
    }
    return out;
}

std::string LongToken(Random& random, size_t length)
{
    if (random.Chance(50))
        return std::string(length, 'L');
    // Quoted: `length` bytes once read, some of them a quote written doubled.
    std::string inner;
    for (size_t read = 0; read < length; ++read)
        inner += random.Chance(1) ? "''" : "q";
    return "'" + inner + "'";
}

// A name of `length` bytes that begins with `tag`, so that no two are alike.
std::string LongName(Random& random, size_t length, const std::string& tag)
{
    std::string name = tag + std::string(length - tag.size(), 'N');
    if (random.Chance(50))
        return name;
    name[length / 2] = ' ';
    return "'" + name + "'";
}

// `depth` nested keys, each named after `tag` and its level.
std::string Nest(int depth, const std::string& tag)
{
    std::string out;
    for (int i = 0; i < depth; ++i)
        out += tag + std::to_string(i) + " { ";
    for (int i = 0; i < depth; ++i)
        out += "} ";
    return out;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> tokens;
    for (const ScriptToken& token : TokenizeScript(text))
        tokens.push_back(text.substr(token.start, token.end - token.start));
    return tokens;
}

std::string Join(Random& random, const std::vector<std::string>& tokens)
{
    static const std::vector<std::string> separators = {" ", " ", "\r\n", "\r\n\t", "\t", "\n", "  "};
    std::string out;
    for (const std::string& token : tokens)
        out += token + random.Pick(separators);
    return out;
}

// The index of a random token for which `wanted` holds, or tokens.size() when there is none.
template <typename Wanted>
size_t FindToken(Random& random, const std::vector<std::string>& tokens, Wanted wanted)
{
    std::vector<size_t> found;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (wanted(i))
            found.push_back(i);
    return found.empty() ? tokens.size() : found[random.Below(found.size())];
}

bool IsTypeLetter(const std::string& token)
{
    return token.size() == 1 && std::string("sSdDbB").find(token[0]) != std::string::npos;
}

// The mutations that leave every key named once: what they break is a token's length, a name's
// length, the nesting depth, a value, or the text's end.
std::string MutateTokensCleanly(Random& random, std::vector<std::string>& tokens, int& unique)
{
    auto typeLetter = [&](size_t i) { return IsTypeLetter(tokens[i]) && i + 1 < tokens.size(); };
    auto opening = [&](size_t i) { return tokens[i] == "{"; };
    // A key or value name: what stands before "=" or "{" and is none of the language's words.
    auto name = [&](size_t i) {
        static const std::vector<std::string> words = {"{", "}", "=", "val", "Val", "ForceRemove"};
        if (i + 1 >= tokens.size() || (tokens[i + 1] != "=" && tokens[i + 1] != "{"))
            return false;
        for (const std::string& word : words)
            if (tokens[i] == word)
                return false;
        return !IsTypeLetter(tokens[i]) && (i == 0 || tokens[i - 1] != "=");
    };
    switch (random.Between(0, 5)) {
    case 0: {
        // 4094 bytes fit a token, 4095 do not.
        size_t length = 4092 + random.Below(5);
        size_t type = FindToken(random, tokens, typeLetter);
        if (type == tokens.size())
            return "";
        tokens[type + 1] = LongToken(random, length);
        return "long" + std::to_string(length);
    }
    case 1: {
        // 259 bytes fit a key or value name, 260 do not.
        size_t length = 257 + random.Below(5);
        size_t at = FindToken(random, tokens, name);
        if (at == tokens.size())
            return "";
        tokens[at] = LongName(random, length, "U" + std::to_string(unique++));
        return "name" + std::to_string(length);
    }
    case 2: {
        size_t length = 257 + random.Below(5);
        size_t open = FindToken(random, tokens, opening);
        if (open == tokens.size())
            return "";
        tokens.insert(tokens.begin() + open + 1, {"val", LongName(random, length, "V"), "=", "s", "'v'"});
        return "valuename" + std::to_string(length);
    }
    case 3: {
        // 64 brace levels, the root's counted, are allowed; one more is not.
        size_t open = FindToken(random, tokens, opening);
        if (open == tokens.size())
            return "";
        int depth = random.Between(56, 70);
        std::vector<std::string> nest = Split(Nest(depth, "D" + std::to_string(unique++) + "_"));
        tokens.insert(tokens.begin() + open + 1, nest.begin(), nest.end());
        return "nest" + std::to_string(depth);
    }
    case 4: {
        // In a value, or at the end of a name, which stays a name of its own.
        std::string percent = random.Pick(kPercents);
        size_t type = FindToken(random, tokens, typeLetter);
        if (random.Chance(50) && type != tokens.size()) {
            tokens[type + 1] = random.Chance(50) ? "'" + percent + "'" : percent;
            return "percent-value";
        }
        size_t at = FindToken(random, tokens, name);
        if (at == tokens.size() || tokens[at][0] == '\'' || percent.find(' ') != std::string::npos)
            return "";
        tokens[at] += percent;
        return "percent-name";
    }
    default: {
        size_t type = FindToken(random, tokens, typeLetter);
        if (type == tokens.size())
            return "";
        static const std::vector<std::pair<std::string, std::string>> bad = {
            {"sz", "'x'"}, {"x", "'x'"}, {"b", "abc"}, {"B", "'0'"}, {"d", "zz"}, {"D", "4294967296"}, {"d", "-1"},
        };
        const auto& pick = bad[random.Below(bad.size())];
        tokens[type] = pick.first;
        tokens[type + 1] = pick.second;
        return "badvalue";
    }
    }
}

// Any change at all to the token list.
std::string MutateTokensAnyhow(Random& random, std::vector<std::string>& tokens, const std::vector<std::string>& roots,
                               int& unique)
{
    if (tokens.empty())
        tokens.push_back(random.Pick(roots));
    size_t at = random.Below(tokens.size());
    size_t anywhere = random.Below(tokens.size() + 1);
    switch (random.Between(0, 9)) {
    case 0: {
        size_t other = random.Below(tokens.size());
        std::swap(tokens[at], tokens[other]);
        return "swap";
    }
    case 1:
        tokens.erase(tokens.begin() + at);
        return "drop";
    case 2:
        tokens.insert(tokens.begin() + anywhere, tokens[at]);
        return "duplicate";
    case 3:
        tokens.insert(tokens.begin() + anywhere, random.Chance(50) ? "{" : "}");
        return "brace";
    case 4: {
        size_t brace = FindToken(random, tokens, [&](size_t i) { return tokens[i][0] == '{' || tokens[i][0] == '}'; });
        if (brace == tokens.size())
            return "";
        tokens.erase(tokens.begin() + brace);
        return "unbalance";
    }
    case 5: {
        static const std::vector<std::string> any = {"Delete", "ForceRemove", "NoRemove", "Val", "=", "s", "d",
                                                     "b", "S", "{", "}"};
        tokens.insert(tokens.begin() + anywhere, random.Chance(20) ? random.Pick(roots) : random.Pick(any));
        return "keyword";
    }
    case 6: {
        size_t quoted = FindToken(random, tokens, [&](size_t i) {
            return tokens[i].size() >= 2 && tokens[i][0] == '\'' && tokens[i].back() == '\'';
        });
        if (quoted == tokens.size())
            return "";
        std::string& token = tokens[quoted];
        token.erase(random.Chance(50) ? token.size() - 1 : 0, 1);
        return "quote";
    }
    case 7: {
        size_t length = random.Chance(50) ? 4092 + random.Below(5) : 257 + random.Below(5);
        tokens[at] = random.Chance(50) ? LongToken(random, length) : LongName(random, length, "U" + std::to_string(unique++));
        return "long" + std::to_string(length);
    }
    case 8:
        tokens.insert(tokens.begin() + anywhere, KeyName(random));
        return "key";
    default:
        return MutateTokensCleanly(random, tokens, unique);
    }
}

std::string MutateText(Random& random, std::string& text, bool cleanly, int& unique)
{
    size_t at = random.Below(text.size() + 1);
    switch (cleanly ? random.Between(0, 1) * 2 : random.Between(0, 4)) {
    case 0:
        text.resize(at);
        return "truncate";
    case 1:
        text.insert(at, random.Pick(kPercents));
        return "percent";
    case 2: {
        std::string lead = random.Pick(kLeadBytes);
        if (cleanly) {
            // A name of its own, unlike any other, so that every key stays named once.
            text += " L" + std::to_string(unique++) + lead;
            return "leadbyte-end";
        }
        if (random.Chance(50)) {
            text += lead;
            return "leadbyte-end";
        }
        // Before a quote or a blank, which a double-byte code page then takes for its trail byte.
        std::vector<size_t> places;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\'' || IsBlank(text[i]))
                places.push_back(i);
        text.insert(places.empty() ? text.size() : places[random.Below(places.size())], lead);
        return "leadbyte";
    }
    case 3:
        text.insert(at, "'");
        return "lonequote";
    default:
        if (text.empty())
            return "";
        text[random.Below(text.size())] = random.Pick(kStrayBytes);
        return "byte";
    }
}

}  // namespace

std::vector<ScriptToken> TokenizeScript(const std::string& text)
{
    std::vector<ScriptToken> tokens;
    const char* begin = text.c_str();
    const char* c = begin;
    for (;;) {
        while (IsBlank(*c))
            c = CharNextA(c);
        if (*c == '\0')
            break;
        const char* start = c;
        if (*c == '\'') {
            ++c;
            for (;;) {
                if (*c == '\0')
                    break;
                if (*c == '\'') {
                    ++c;
                    if (*c != '\'')
                        break;
                    ++c;
                    continue;
                }
                c = CharNextA(c);
            }
        } else {
            while (*c != '\0' && !IsBlank(*c))
                c = CharNextA(c);
        }
        tokens.push_back({static_cast<size_t>(start - begin), static_cast<size_t>(c - begin)});
    }
    return tokens;
}

std::vector<size_t> BlockEnds(const std::string& text)
{
    std::vector<size_t> ends;
    for (const ScriptToken& token : TokenizeScript(text)) {
        size_t first = text[token.start] == '\'' ? token.start + 1 : token.start;
        if (first < token.end && text[first] == '}')
            ends.push_back(token.end);
    }
    return ends;
}

std::vector<size_t> TopLevelEnds(const std::string& text)
{
    std::vector<size_t> ends;
    int depth = 0;
    int valueStep = 0;  // 1 after "=", 2 after its type: the next token is the value
    bool afterRoot = false;
    for (const ScriptToken& token : TokenizeScript(text)) {
        size_t first = text[token.start] == '\'' ? token.start + 1 : token.start;
        char c = first < token.end ? text[first] : '\0';
        size_t length = token.end - token.start - (first - token.start) * 2;
        if (depth == 0) {
            // A root name, then its opening brace.
            if (afterRoot && c == '{')
                depth = 1;
            afterRoot = !afterRoot && c != '{';
            continue;
        }
        if (valueStep == 2) {
            valueStep = 0;
            continue;
        }
        if (valueStep == 1) {
            valueStep = 2;
            continue;
        }
        if (c == '=') {
            valueStep = 1;
        } else if (c == '{' && length == 1) {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            ends.push_back(token.end);
        }
    }
    return ends;
}

FuzzScript MakeFuzzScript(uint32_t seed, uint32_t index, const std::string& libraryScript,
                          const std::vector<std::string>& rootNames)
{
    Random random(seed, index);
    FuzzScript script;
    int kind = random.Between(1, 100);
    bool clearBase = kind <= 60;
    if (kind <= 30) {
        script.base = libraryScript;
        script.recipe = "library";
    } else if (kind <= 60) {
        script.base = PlainScript(random).Make(rootNames);
        script.recipe = "plain";
    } else if (kind <= 85) {
        script.base = RandomScript(random, rootNames);
        script.recipe = "random";
    } else {
        script.base = TokenSoup(random, rootNames);
        script.recipe = "soup";
    }
    bool cleanly = clearBase && random.Chance(60);

    int mutations = random.Chance(10) ? 0 : random.Between(1, 5);
    if (mutations == 0) {
        script.text = script.base;
        return script;
    }
    std::vector<std::string> tokens = Split(script.base);
    int unique = 0;  // numbers the names that mutations make, so that no two are alike
    int textual = 0;
    for (int i = 0; i < mutations; ++i) {
        if (random.Chance(30)) {
            ++textual;
            continue;
        }
        std::string name = cleanly ? MutateTokensCleanly(random, tokens, unique)
                                   : MutateTokensAnyhow(random, tokens, rootNames, unique);
        if (!name.empty())
            script.recipe += " " + name;
    }
    script.text = Join(random, tokens);
    for (int i = 0; i < textual; ++i) {
        std::string name = MutateText(random, script.text, cleanly, unique);
        if (!name.empty())
            script.recipe += " " + name;
    }
    if (cleanly)
        script.recipe += " (keys named once)";
    return script;
}

std::string Printable(const std::string& text, size_t limit)
{
    std::string out;
    for (size_t i = 0; i < text.size() && out.size() < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    if (out.size() >= limit)
        out += "...(" + std::to_string(text.size()) + " bytes)";
    return out;
}
