#include "pinned.h"

#include <QtGlobal>

namespace zartav::test {

namespace {
void put(const char* name, const std::optional<QByteArray>& value) {
    if (value) qputenv(name, *value);
    else qunsetenv(name);
}
}  // namespace

PinnedVariable::PinnedVariable(const char* name, std::optional<QByteArray> value)
    : name_(name), before_(qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt) {
    put(name_, value);
}

PinnedVariable::~PinnedVariable() { put(name_, before_); }

}  // namespace zartav::test
