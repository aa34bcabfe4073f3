#pragma once

// The test files kept in tests/fixtures/ (see its README). A file that is missing or cannot be
// read throws, so the test using it fails at once with the file's name instead of going on with
// empty bytes.

#include <QByteArray>
#include <QString>

namespace zartav::test {

// Full path of a fixture, given as "photos/small-800x500.jpg" or "legacy/nwind.mdb".
QString fixturePath(const QString& relative);

// The whole contents of a fixture; never empty.
QByteArray fixtureBytes(const QString& relative);

}  // namespace zartav::test
