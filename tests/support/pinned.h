#pragma once

// What a test fakes for the program (today's date, a folder, the settings file, a variable of
// the environment) held for as long as a guard lives: the guard puts it back however the test
// ends, also when an ASSERT returns early, so the next test starts from the real one.

#include <QByteArray>
#include <optional>

namespace zartav::test {

// Pins a value through one of the program's ...ForTesting(std::optional<T>) setters; nothing
// pinned again when the guard goes. pin() moves it while the guard lives.
template <class T>
class Pinned {
public:
    using Setter = void (*)(std::optional<T>);
    Pinned(Setter set, T value) : set_(set) { set_(std::move(value)); }
    ~Pinned() { set_(std::nullopt); }
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;

    void pin(T value) { set_(std::move(value)); }

private:
    Setter set_;
};

// Sets a variable of the environment, or takes it away (no value); the guard leaves the variable
// as it found it.
class PinnedVariable {
public:
    PinnedVariable(const char* name, std::optional<QByteArray> value);
    ~PinnedVariable();
    PinnedVariable(const PinnedVariable&) = delete;
    PinnedVariable& operator=(const PinnedVariable&) = delete;

private:
    const char* name_;
    std::optional<QByteArray> before_;
};

}  // namespace zartav::test
