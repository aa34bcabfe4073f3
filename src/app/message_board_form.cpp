#include "app/message_board_form.h"
#include "dates/ui/file_dialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace zartav {
namespace {

constexpr int kClientWidth = 547;
constexpr int kListHeight = 441;
constexpr int kClientHeight = 469;
constexpr int kBorder = 5;
// The Farsi fonts are tall for their size (an 8 pt line is 23 px high, most of it room for
// marks the board's lines do not use): rows and the blank title row are kept compact so the
// twenty About lines fit the list without scrolling.
constexpr int kRowHeight = 20;
constexpr int kTitleHeight = 18;

// Vertical grid lines between the columns, none between the rows.
class ColumnLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(0xC0, 0xC0, 0xC0));
        const int x = option.direction == Qt::RightToLeft ? option.rect.left() : option.rect.right();
        painter->drawLine(x, option.rect.top(), x, option.rect.bottom());
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
    }
};

}  // namespace

TMessageBoardForm::TMessageBoardForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MessageBoardForm"));
    setLayoutDirection(Qt::RightToLeft);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setModal(false);
    setFixedSize(kClientWidth + 2 * kBorder, kClientHeight + 2 * kBorder);

    MessageList = new QTreeWidget(this);
    MessageList->setObjectName(QStringLiteral("MessageList"));
    MessageList->setGeometry(kBorder, kBorder, kClientWidth, kListHeight);
    MessageList->setColumnCount(2);
    MessageList->setHeaderLabels({QString(), QString()});
    MessageList->setRootIsDecorated(false);
    MessageList->setUniformRowHeights(true);
    MessageList->setSelectionBehavior(QAbstractItemView::SelectRows);
    MessageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MessageList->setFrameShape(QFrame::NoFrame);
    MessageList->setItemDelegate(new ColumnLineDelegate(MessageList));
    MessageList->header()->setSectionResizeMode(QHeaderView::Interactive);
    MessageList->header()->setStretchLastSection(false);
    MessageList->setColumnWidth(0, 188);
    MessageList->setColumnWidth(1, 357);
    MessageList->header()->setFixedHeight(kTitleHeight);
    MessageList->setStyleSheet(QStringLiteral(
        "QTreeWidget { background: #FFFFE6; }"
        "QHeaderView::section { background: #D9FFD9; border: 0; border-right: 1px solid #B0D0B0;"
        " border-bottom: 1px solid #B0D0B0; }"));

    const int bottom = kBorder + kListHeight + 3;
    dxButton1 = new QPushButton(QStringLiteral("برگشت"), this);
    dxButton1->setObjectName(QStringLiteral("dxButton1"));
    dxButton1->setGeometry(kBorder, bottom, 100, 22);
    dxButton2 = new QPushButton(QStringLiteral("ذخيره گزارش"), this);
    dxButton2->setObjectName(QStringLiteral("dxButton2"));
    dxButton2->setGeometry(kBorder + kClientWidth - 100, bottom, 100, 22);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(kBorder + (kClientWidth - 265) / 2, bottom, 265, 22);

    connect(dxButton1, &QPushButton::clicked, this, &TMessageBoardForm::dxButton1Click);
    connect(dxButton2, &QPushButton::clicked, this, &TMessageBoardForm::dxButton2Click);

    choosePath_ = [this](const QString& suggested) {
        return chooseFileToSave(this, windowTitle(), suggested, kReportFileFilter);
    };
    setMessageBoard(this);
}

TMessageBoardForm::~TMessageBoardForm() {
    if (&messageBoard() == this) setMessageBoard(nullptr);
}

void TMessageBoardForm::setSavePathChooser(std::function<QString(const QString&)> chooser) {
    choosePath_ = std::move(chooser);
}

void TMessageBoardForm::StartRecording(bool rightToLeft, const QString& caption) {
    Label1->clear();
    MessageList->setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    setWindowTitle(caption);
    lines_.clear();
    MessageList->clear();
    dxButton1->setEnabled(false);
    dxButton2->setEnabled(false);
    if (!isVisible()) {
        if (const QScreen* screen = this->screen()) {
            QRect frame(QPoint(), frameGeometry().size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        show();  // not modal: the producer goes on and the main window stays usable
    }
    dxButton1->repaint();
}

void TMessageBoardForm::PostThisMessage(const QString& key, const QString& value) {
    const qsizetype before = lines_.count();
    lines_.post(key, value);
    appendRows(before);
    // Let the list repaint between the posts of a long producer.
    QCoreApplication::processEvents();
}

void TMessageBoardForm::appendRows(qsizetype from) {
    QList<QTreeWidgetItem*> items;
    for (qsizetype i = from; i < lines_.count(); ++i) {
        const QString& line = lines_.lines().at(i);
        items.append(new QTreeWidgetItem(
            QStringList{MessageBoardLines::keyOf(line), MessageBoardLines::valueOf(line)}));
    }
    MessageList->addTopLevelItems(items);
}

void TMessageBoardForm::StopRecording() {
    Label1->setText(lines_.countText());
    dxButton1->setEnabled(true);
    dxButton2->setEnabled(true);
}

void TMessageBoardForm::dxButton1Click() { hide(); }

void TMessageBoardForm::reject() {
    if (dxButton1->isEnabled()) hide();
}

void TMessageBoardForm::dxButton2Click() { saveMessageBoard(lines_, windowTitle(), choosePath_); }

}  // namespace zartav
