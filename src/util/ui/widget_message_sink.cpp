#include "util/ui/widget_message_sink.h"

#include "util/input_query.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace zartav {
namespace {

// Tells a close through the title bar apart from a click on the escape button.
class FarsiMessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedByTitleBar = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (event->spontaneous()) closedByTitleBar = true;
        QMessageBox::closeEvent(event);
    }
};

QMessageBox::Icon iconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int WidgetMessageSink::show(const MessageBox& box) {
    FarsiMessageBox dialog(iconOf(box.icon), box.caption, box.text, QMessageBox::NoButton,
                           QApplication::activeWindow());
    dialog.setLayoutDirection(Qt::RightToLeft);
    // Messages carry a server's words and names out of files: shown as they are, never as markup.
    dialog.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> buttons;
    for (const QString& caption : box.buttons)
        buttons.append(dialog.addButton(caption, buttons.isEmpty() ? QMessageBox::AcceptRole
                                                                   : QMessageBox::RejectRole));
    if (!buttons.isEmpty()) {
        if (box.defaultButton >= 0 && box.defaultButton < buttons.size())
            dialog.setDefaultButton(qobject_cast<QPushButton*>(buttons[box.defaultButton]));
        if (box.escapeButton >= 0 && box.escapeButton < buttons.size())
            dialog.setEscapeButton(buttons[box.escapeButton]);
    }
    dialog.exec();
    if (dialog.closedByTitleBar) return -1;
    const int index = static_cast<int>(buttons.indexOf(dialog.clickedButton()));
    return index;
}

bool WidgetMessageSink::input(const InputRequest& request, QString& value) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(request.caption);
    dialog.setLayoutDirection(Qt::RightToLeft);
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Tahoma"), 9);
    dialog.setFont(font);

    // Dialog units: the average width of the Latin letters and the line height of the font.
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int w = metrics.horizontalAdvance(letters) / 52;
    const int h = metrics.height();

    auto* prompt = new QLabel(request.prompt, &dialog);
    prompt->setTextFormat(Qt::PlainText);
    prompt->setWordWrap(true);
    const int wrapWidth = scaleMetric(164, w, 4);
    const int promptHeight = std::max(h, prompt->heightForWidth(wrapWidth));

    auto* edit = new QLineEdit(&dialog);
    edit->setMaxLength(request.maxLength);
    edit->setText(value.left(request.maxLength));
    edit->selectAll();
    if (request.password) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // "*"
    }
    const int editHeight = edit->sizeHint().height();

    auto* ok = new QPushButton(QStringLiteral("قبول"), &dialog);
    auto* cancel = new QPushButton(QStringLiteral("انصراف"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);  // Escape too

    const InputDialogLayout layout = layoutInputDialog(w, h, promptHeight, editHeight);
    prompt->setGeometry(layout.prompt);
    edit->setGeometry(layout.edit);
    ok->setGeometry(layout.okButton);
    cancel->setGeometry(layout.cancelButton);
    dialog.setFixedSize(layout.clientWidth, layout.clientHeight);
    if (const QScreen* screen = dialog.screen()) {
        QRect frame(QPoint(), dialog.size());
        frame.moveCenter(screen->availableGeometry().center());
        dialog.move(frame.topLeft());
    }
    edit->setFocus();

    if (dialog.exec() != QDialog::Accepted) return false;
    value = edit->text();
    return true;
}

}  // namespace zartav
