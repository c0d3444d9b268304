#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Tokens as the registration-script interpreter reads them: runs of non-blanks, or quoted
// strings whose doubled quotes stand for one, walked a character at a time (CharNextA) so that a
// double-byte character swallows what follows its lead byte. An unterminated quote runs to the end.
struct ScriptToken {
    size_t start;
    size_t end;  // one past the token, closing quote included
};
std::vector<ScriptToken> TokenizeScript(const std::string& text);

// The offsets just after each token whose text begins with "}": the only places where the
// interpreter can be back between root blocks.
std::vector<size_t> BlockEnds(const std::string& text);
// Of those, the ones where a script that follows the grammar ends a root block: counted by its
// braces, a value ("=", a type, the value) read as a value whatever it holds.
std::vector<size_t> TopLevelEnds(const std::string& text);

// One generated registration script and how it was made.
struct FuzzScript {
    std::string base;    // before mutation: the library's own script, a random one, or token soup
    std::string text;    // what is applied
    std::string recipe;  // the kind of base and the mutations, for failure messages
};

// Deterministic in (seed, index): a case is reproduced from the two numbers alone.
// `rootNames`: the root names that may appear (only roots redirected to scratch keys).
FuzzScript MakeFuzzScript(uint32_t seed, uint32_t index, const std::string& libraryScript,
                          const std::vector<std::string>& rootNames);

// The text with every byte outside printable ASCII written as \xNN, cut to `limit` bytes.
std::string Printable(const std::string& text, size_t limit = 600);
