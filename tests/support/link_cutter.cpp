#include "link_cutter.h"

#include <QHostAddress>
#include <QMutex>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace zartav::test {

class LinkCutter::Relay : public QObject {
public:
    Relay(QString host, quint16 port) : host_(std::move(host)), port_(port) {}

    quint16 listen() {
        server_ = new QTcpServer(this);
        if (!server_->listen(QHostAddress::LocalHost, 0)) return 0;
        connect(server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = server_->nextPendingConnection()) join(client);
        });
        return server_->serverPort();
    }

    void cutAfter(const QByteArray& text) {
        const QMutexLocker lock(&mutex_);
        trigger_ = text;
    }

private:
    bool takeTrigger(const QByteArray& bytes) {
        const QMutexLocker lock(&mutex_);
        if (trigger_.isEmpty() || !bytes.contains(trigger_)) return false;
        trigger_.clear();
        return true;
    }

    void join(QTcpSocket* client) {
        auto* upstream = new QTcpSocket(client);
        auto muted = std::make_shared<bool>(false);
        connect(client, &QTcpSocket::readyRead, client, [this, client, upstream, muted] {
            const QByteArray bytes = client->readAll();
            upstream->write(bytes);
            if (*muted || !takeTrigger(bytes)) return;
            *muted = true;
            // Time for the server to read it and act on it before the link goes.
            QTimer::singleShot(300, client, [client] { client->abort(); });
        });
        connect(upstream, &QTcpSocket::readyRead, client, [client, upstream, muted] {
            const QByteArray bytes = upstream->readAll();
            if (!*muted) client->write(bytes);
        });
        connect(client, &QTcpSocket::disconnected, client, [client, upstream] {
            upstream->disconnectFromHost();
            client->deleteLater();
        });
        connect(upstream, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
        upstream->connectToHost(host_, port_);
    }

    QString host_;
    quint16 port_;
    QTcpServer* server_ = nullptr;
    QMutex mutex_;
    QByteArray trigger_;
};

LinkCutter::LinkCutter(const QString& host, quint16 port) : relay_(new Relay(host, port)) {
    relay_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, relay_, &QObject::deleteLater);
    thread_.start();
    QMetaObject::invokeMethod(relay_, [this] { port_ = relay_->listen(); }, Qt::BlockingQueuedConnection);
}

LinkCutter::~LinkCutter() {
    thread_.quit();
    thread_.wait();
}

void LinkCutter::cutAnswerAfter(const QByteArray& text) { relay_->cutAfter(text); }

}  // namespace zartav::test
