// A TCP relay on loopback that holds every chunk it passes for a fixed time in each direction:
// a server across a district office's link (20 ms each way is a 40 ms round trip) for the
// benchmarks, without touching the network of the machine.
//
//   zartav-delay-relay LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS
//
// It prints "ready PORT" once it listens (LISTEN_PORT 0 takes a free one), and runs until killed.

#include <QCoreApplication>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

// Bytes read from `from` reach `to` `delayMs` later, in the order they came; an end on one side
// reaches the other as late as the bytes before it.
void forward(QTcpSocket* from, QTcpSocket* to, int delayMs) {
    QPointer<QTcpSocket> target(to);
    QObject::connect(from, &QTcpSocket::readyRead, from, [from, target, delayMs] {
        const QByteArray bytes = from->readAll();
        QTimer::singleShot(delayMs, Qt::PreciseTimer, target, [target, bytes] {
            if (target) target->write(bytes);
        });
    });
    QObject::connect(from, &QTcpSocket::disconnected, from, [from, target, delayMs] {
        QTimer::singleShot(delayMs, Qt::PreciseTimer, target, [target] {
            if (target) target->disconnectFromHost();
        });
        from->deleteLater();
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool portOk = false, targetOk = false, delayOk = false;
    const quint16 listenPort = args.value(1).toUShort(&portOk);
    const QString targetHost = args.value(2);
    const quint16 targetPort = args.value(3).toUShort(&targetOk);
    const int delayMs = args.value(4).toInt(&delayOk);
    if (args.size() != 5 || !portOk || !targetOk || !delayOk || delayMs < 0) {
        std::fprintf(stderr, "usage: zartav-delay-relay LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS\n");
        return 2;
    }
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, listenPort)) {
        std::fprintf(stderr, "zartav-delay-relay: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket* client = server.nextPendingConnection()) {
            auto* upstream = new QTcpSocket(&server);
            // The relay adds its delay and nothing else: no waiting to fill a segment.
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            upstream->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            forward(client, upstream, delayMs);
            forward(upstream, client, delayMs);
            // A far side that cannot be reached ends the client's connection as a lost server would.
            QObject::connect(upstream, &QTcpSocket::errorOccurred, client, [client, upstream] {
                if (upstream->state() != QAbstractSocket::ConnectedState) client->disconnectFromHost();
            });
            // Bytes the client sends before the far side answers wait in the socket's buffer.
            upstream->connectToHost(targetHost, targetPort);
        }
    });
    std::printf("ready %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
