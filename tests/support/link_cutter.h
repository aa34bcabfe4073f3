#pragma once

// A relay on loopback, in a thread of its own, between a test's connection and the test server.
// Told to, it passes on the next piece the client sends that holds a given text, drops whatever
// the server answers after it and then breaks the link: the server has done the work, and its
// answer never arrives.

#include <QByteArray>
#include <QString>
#include <QThread>

#include <memory>

namespace zartav::test {

class LinkCutter {
public:
    LinkCutter(const QString& host, quint16 port);
    ~LinkCutter();
    LinkCutter(const LinkCutter&) = delete;
    LinkCutter& operator=(const LinkCutter&) = delete;

    // 0 when the relay could not listen.
    quint16 port() const { return port_; }
    // The next piece holding `text` is the last thing that crosses; later connections pass.
    void cutAnswerAfter(const QByteArray& text);

    class Relay;

private:
    QThread thread_;
    Relay* relay_ = nullptr;
    quint16 port_ = 0;
};

}  // namespace zartav::test
