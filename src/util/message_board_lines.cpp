#include "util/message_board_lines.h"

#include "util/bidi_text.h"
#include "util/cp1256.h"
#include "util/dialogs.h"

#include <QCoreApplication>
#include <QSaveFile>

namespace zartav {
namespace {

HeadlessMessageBoard& headlessBoard() {
    static HeadlessMessageBoard board;
    return board;
}
MessageBoard* currentBoard = nullptr;

}  // namespace

MessageBoard& messageBoard() { return currentBoard ? *currentBoard : headlessBoard(); }

void setMessageBoard(MessageBoard* board) { currentBoard = board; }

void MessageBoardLines::post(const QString& key, const QString& value) {
    const auto line = [](const QString& k, const QString& v) { return k + QLatin1Char('=') + v; };
    if (value.size() <= kPieceLength) {
        lines_.append(line(key, value));
        return;
    }
    QString currentKey = key;
    for (qsizetype at = 0; at < value.size();) {
        qsizetype length = std::min(kPieceLength, value.size() - at);
        // Never cut a character that takes two UTF-16 units in half, nor a word: a piece that
        // would end inside one ends after the last blank before it, when it has one.
        if (at + length < value.size() && value.at(at + length - 1).isHighSurrogate()) --length;
        if (at + length < value.size() && !value.at(at + length).isSpace()) {
            const qsizetype blank = value.lastIndexOf(QLatin1Char(' '), at + length - 1);
            if (blank > at) length = blank + 1 - at;
        }
        lines_.append(line(currentKey, value.mid(at, length)));
        at += length;
        currentKey = QStringLiteral("....");
    }
}

QString MessageBoardLines::keyOf(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? line : line.left(eq);
}

QString MessageBoardLines::valueOf(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

QString MessageBoardLines::countText() const {
    return QStringLiteral("تعداد سطر : ") + QString::number(lines_.size());
}

QString MessageBoardLines::suggestedFileName(const QString& caption) const {
    QString name = caption + QLatin1Char(' ') + (lines_.isEmpty() ? QString() : lines_.first());
    const qsizetype eq = name.indexOf(QLatin1Char('='));
    if (eq >= 0) name.remove(eq, 1);
    name.remove(QLatin1Char('/'));
    return name.trimmed();
}

QByteArray MessageBoardLines::fileBytes() const {
    QByteArray bytes;
    for (const QString& line : lines_) {
        bytes += encodeCp1256(line);
        bytes += "\r\n";
    }
    return bytes;
}

QString withReportExtension(const QString& chosenName) {
    const QString extension = QStringLiteral(".Txt");
    return chosenName.endsWith(extension, Qt::CaseInsensitive) ? chosenName : chosenName + extension;
}

bool saveMessageBoard(const MessageBoardLines& lines, const QString& caption,
                      const std::function<QString(const QString&)>& choosePath,
                      QString* writtenPath) {
    if (lines.isEmpty()) {
        showPlainBox(MessageIcon::Information, QStringLiteral("ليست خال است"));
        return false;
    }
    const QString chosen = choosePath(lines.suggestedFileName(caption));
    if (chosen.isEmpty()) return false;
    const QString path = withReportExtension(chosen);
    QSaveFile file(path);
    const QByteArray bytes = lines.fileBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        showError(withEngineWords(QStringLiteral("گزارش در فايل %1 ذخيره نشد.").arg(isolatedPath(path)),
                                  file.errorString()));
        return false;
    }
    if (writtenPath) *writtenPath = path;
    return true;
}

void HeadlessMessageBoard::StartRecording(bool rightToLeft, const QString& caption) {
    label_.clear();
    rightToLeft_ = rightToLeft;
    caption_ = caption;
    lines_.clear();
    recording_ = true;
}

void HeadlessMessageBoard::PostThisMessage(const QString& key, const QString& value) {
    lines_.post(key, value);
}

void HeadlessMessageBoard::StopRecording() {
    label_ = lines_.countText();
    recording_ = false;
}

}  // namespace zartav
