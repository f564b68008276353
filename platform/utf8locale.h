#pragma once
// The character type of the calling thread's locale.

namespace platform {

// For its lifetime the calling thread converts between wide and multibyte
// text as UTF-8, whatever the process's locale says (under LANG=C a library
// would otherwise turn every non-ASCII name into question marks). Under a
// UTF-8 locale it changes nothing.
class Utf8CharacterType {
public:
    Utf8CharacterType();
    ~Utf8CharacterType();
    Utf8CharacterType(const Utf8CharacterType &) = delete;
    Utf8CharacterType &operator=(const Utf8CharacterType &) = delete;

private:
    void *m_previous = nullptr; // the thread's locale before, when it was changed
};

} // namespace platform
