#include "entry/ui/entry_form.h"

#include "data/pedigree/pedigree.h"
#include "data/records/column_groups.h"
#include "data/tdm.h"
#include "entry/entry_fields.h"
#include "entry/ui/pedigree_form.h"
#include "entry/ui/picture_box.h"
#include "entry/ui/picture_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

// The entry form's boxes, built from the field table, and where they sit.

namespace zartav {

using entry::Field;
using entry::Group;
using entry::Kind;

namespace {

constexpr int kBorder = 5;
constexpr int kClientWidth = 754;
constexpr int kClientHeight = 515;
constexpr int kBoxHeight = 21;

// The form's groups in the list's colours.
QColor groupColour(Group group) {
    switch (group) {
    case Group::Registration: return columnGroupColour(ColumnGroup::HerdAndPlace);
    case Group::Calf: return columnGroupColour(ColumnGroup::Calf);
    case Group::Sire: return columnGroupColour(ColumnGroup::Sire);
    case Group::Dams: return columnGroupColour(ColumnGroup::Dams);
    case Group::Inseminations: return columnGroupColour(ColumnGroup::Inseminations);
    case Group::None: break;
    }
    return {};
}

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TForm2::TForm2(TDM& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      dm_(dm) {
    // New opens with the lists held, read beforehand where it costs the window nothing.
    dm_.storedValues().keepAtHand(entry::storedValueColumns());
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString());
    setLayoutDirection(Qt::RightToLeft);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientWidth + 2 * kBorder, kClientHeight + 2 * kBorder);
    buildControls();
    buildLayout();
    bindControls();
}

TForm2::~TForm2() = default;  // here, where AnimalReader is whole

void TForm2::buildControls() {
    const int maxLength = RecordTable::maxLength();
    for (const Field& f : entry::fields()) {
        QWidget* box = nullptr;
        QLineEdit* line = nullptr;
        if (f.kind == Kind::List || f.kind == Kind::PickList) {
            auto* combo = new QComboBox(this);
            combo->setEditable(f.kind == Kind::List);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            combo->setMinimumContentsLength(4);
            combo->setMaxVisibleItems(12);
            combo->addItems(entry::itemsOf(f.items));
            // The lists of stored values can hold thousands of items, refilled at every showing:
            // a plain string list model takes them in one copy.
            if (f.items == 0) combo->setModel(new QStringListModel(combo));
            combo->setCurrentIndex(-1);
            line = combo->lineEdit();
            box = combo;
        } else {
            line = new QLineEdit(this);
            line->setMinimumWidth(30);
            box = line;
            if (f.kind == Kind::ShowOnly) line->setEnabled(false);
            if (f.kind == Kind::Date || f.kind == Kind::CheckedDate) dateBoxes_ << line;
        }
        if (line) {
            line->setMaxLength(maxLength);
            line->installEventFilter(this);
        }
        // An editable list takes the keys itself before its text box sees them.
        if (box != line) box->installEventFilter(this);
        box->setFixedHeight(kBoxHeight);
        box->setObjectName(text(f.name));
        if (f.group != Group::None) {
            QPalette pal = box->palette();
            pal.setColor(QPalette::Base, groupColour(f.group));
            box->setPalette(pal);
        }
        auto* label = new QLabel(text(f.caption), this);
        label->setBuddy(box);
        captions_.insert(box, label);
        columns_.insert(box, text(f.column));
        boxes_.insert(text(f.column), box);
    }

    // Why a record is corrected: kept with the history entry of the save; shown while editing.
    // Nameless, so no field default template ever fills in a reason for the user.
    reasonBox = new QLineEdit(this);
    reasonBox->setMaxLength(200);
    auto* reasonCaption = new QLabel(QStringLiteral("علت اصلاح"), this);
    reasonCaption->setBuddy(reasonBox);
    captions_.insert(reasonBox, reasonCaption);

    auto edit = [this](const char* name) { return findChild<QLineEdit*>(text(name)); };
    auto combo = [this](const char* name) { return findChild<QComboBox*>(text(name)); };
    DBEdit1 = edit("DBEdit1");
    DBComboBox1 = combo("DBComboBox1");
    DBComboBox2 = combo("DBComboBox2");
    DBComboBox3 = combo("DBComboBox3");
    DBComboBox4 = combo("DBComboBox4");
    DBComboBox5 = combo("DBComboBox5");
    DBEdit7 = edit("DBEdit7");
    DBEdit8 = edit("DBEdit8");
    DBEdit9 = edit("DBEdit9");
    DBEdit10 = edit("DBEdit10");
    DBComboBox6 = combo("DBComboBox6");
    DBEdit12 = edit("DBEdit12");
    DBEdit13 = edit("DBEdit13");
    DBComboBox7 = combo("DBComboBox7");
    DBComboBox8 = combo("DBComboBox8");
    DBEdit16 = edit("DBEdit16");
    DBEdit17 = edit("DBEdit17");
    DBEdit18 = edit("DBEdit18");
    DBEdit19 = edit("DBEdit19");
    DBEdit20 = edit("DBEdit20");
    DBEdit21 = edit("DBEdit21");
    DBEdit22 = edit("DBEdit22");
    DBEdit23 = edit("DBEdit23");
    DBEdit24 = edit("DBEdit24");
    DBEdit25 = edit("DBEdit25");
    DBEdit26 = edit("DBEdit26");
    DBEdit27 = edit("DBEdit27");
    DBEdit28 = edit("DBEdit28");
    DBEdit29 = edit("DBEdit29");
    DBEdit30 = edit("DBEdit30");
    DBEdit31 = edit("DBEdit31");
    DBEdit32 = edit("DBEdit32");
    DBEdit33 = edit("DBEdit33");
    DBEdit34 = edit("DBEdit34");
    DBComboBox13 = combo("DBComboBox13");
    DBEdit44 = edit("DBEdit44");
    DBEdit35 = edit("DBEdit35");
    DBComboBox9 = combo("DBComboBox9");
    DBEdit37 = edit("DBEdit37");
    DBEdit38 = edit("DBEdit38");
    DBComboBox10 = combo("DBComboBox10");
    DBEdit40 = edit("DBEdit40");
    DBEdit41 = edit("DBEdit41");
    DBComboBox11 = combo("DBComboBox11");
    DBEdit43 = edit("DBEdit43");
    DBEdit46 = edit("DBEdit46");
    DBComboBox12 = combo("DBComboBox12");
    DBComboBox14 = combo("DBComboBox14");
    DBEdit50 = edit("DBEdit50");
    DBComboBox15 = combo("DBComboBox15");
    DBEdit48 = edit("DBEdit48");

    dxButton1 = new QPushButton(QStringLiteral("قبول"), this);
    dxButton1->setObjectName(QStringLiteral("dxButton1"));
    dxButton1->setFixedSize(161, 33);
    dxButton2 = new QPushButton(QStringLiteral("انصراف"), this);
    dxButton2->setObjectName(QStringLiteral("dxButton2"));
    dxButton2->setFixedSize(161, 29);
    for (QPushButton* b : {dxButton1, dxButton2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto arrow = [this](const char* name) {
        auto* b = new QToolButton(this);
        b->setObjectName(text(name));
        b->setArrowType(Qt::LeftArrow);
        b->setFixedSize(15, 15);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    dxToolButton1 = arrow("dxToolButton1");
    dxToolButton2 = arrow("dxToolButton2");
    dxToolButton3 = arrow("dxToolButton3");
    dxToolButton4 = arrow("dxToolButton4");

    PictureBox** images[3] = {&DBImage1, &DBImage2, &DBImage3};
    for (int i = 0; i < 3; ++i) {
        *images[i] = new PictureBox(this);
        (*images[i])->setObjectName(QStringLiteral("DBImage%1").arg(i + 1));
        auto* label = new QLabel(text(entry::kPhotoColumns[i]), this);
        label->setBuddy(*images[i]);
        captions_.insert(*images[i], label);
        columns_.insert(*images[i], text(entry::kPhotoColumns[i]));
        boxes_.insert(text(entry::kPhotoColumns[i]), *images[i]);
    }

    OpenPictureDialog1 = new TOpenPictureDialog(this);

    pedigreeButton = new QPushButton(QStringLiteral("شجره"), this);
    pedigreeButton->setObjectName(QStringLiteral("PedigreeButton"));
    pedigreeButton->setAutoDefault(false);
    pedigreeButton->setFixedHeight(kBoxHeight);
    connect(pedigreeButton, &QPushButton::clicked, this, [this] {
        if (!pedigree_) return;
        RecordTable& record = dm_.TVascor;
        QStringList values;
        for (const QString& column : pedigree::AnimalReader::recordColumns()) values << record.value(column);
        if (pedigree_->showAnimal(pedigree::AnimalReader::recordFrom(record.id(), values))) pedigree_->exec();
    });
    inbreeding_ = new QLabel(this);
    inbreeding_->setObjectName(QStringLiteral("InbreedingLabel"));
    // Typing a number reads the pedigree once the keys rest, not at every key.
    inbreedingTimer_ = new QTimer(this);
    inbreedingTimer_->setSingleShot(true);
    inbreedingTimer_->setInterval(150);
    connect(inbreedingTimer_, &QTimer::timeout, this, qOverload<>(&TForm2::showInbreeding));

    // Tab order: the fields as listed, then OK and Cancel.
    QWidget* previous = nullptr;
    for (const Field& f : entry::fields()) {
        QWidget* box = findChild<QWidget*>(text(f.name));
        if (previous) setTabOrder(previous, box);
        previous = box;
    }
    setTabOrder(previous, dxButton1);
    setTabOrder(dxButton1, dxButton2);
    setTabOrder(dxButton2, DBImage1);
    setTabOrder(DBImage1, DBImage2);
    setTabOrder(DBImage2, DBImage3);
}

void TForm2::buildLayout() {
    // Each label sits at the right of its box; the layouts run right to left.
    auto inlineCell = [this](QGridLayout* grid, int row, int cell, QWidget* box) {
        grid->addWidget(captions_.value(box), row, cell * 2);
        grid->addWidget(box, row, cell * 2 + 1);
    };
    auto stackedCell = [this](QGridLayout* grid, int row, int cell, QWidget* box) {
        grid->addWidget(captions_.value(box), row * 2, cell, Qt::AlignBottom);
        grid->addWidget(box, row * 2 + 1, cell);
    };
    auto grid = [](int spacing = 4) {
        auto* g = new QGridLayout;
        g->setHorizontalSpacing(spacing);
        g->setVerticalSpacing(1);
        return g;
    };

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    page->setSpacing(4);

    // 1-2: registration and place.
    QGridLayout* place = grid();
    inlineCell(place, 0, 0, DBEdit1);
    inlineCell(place, 0, 1, DBComboBox1);
    inlineCell(place, 0, 2, DBComboBox2);
    inlineCell(place, 0, 3, DBComboBox3);
    inlineCell(place, 1, 0, DBComboBox4);
    inlineCell(place, 1, 1, DBComboBox5);
    for (int c = 1; c < 8; c += 2) place->setColumnStretch(c, 1);
    page->addLayout(place);

    // 3: the calf, captions above.
    QGridLayout* calf = grid();
    int cell = 0;
    for (QWidget* box : std::initializer_list<QWidget*>{DBEdit7, DBEdit8, DBEdit9, DBEdit10, DBComboBox6, DBEdit12, DBEdit13}) {
        stackedCell(calf, 0, cell, box);
        calf->setColumnStretch(cell++, 1);
    }
    page->addLayout(calf);

    // 4-5: manner of birth, sex, weight; the sire with its catalogue button.
    QGridLayout* sire = grid();
    inlineCell(sire, 0, 0, DBComboBox7);
    inlineCell(sire, 0, 1, DBComboBox8);
    inlineCell(sire, 0, 2, DBEdit16);
    inlineCell(sire, 1, 0, DBEdit17);
    inlineCell(sire, 1, 1, DBEdit18);
    inlineCell(sire, 1, 2, DBEdit19);
    auto* hf = new QHBoxLayout;
    hf->setSpacing(4);
    hf->addWidget(dxToolButton1);
    hf->addWidget(captions_.value(DBEdit20));
    hf->addWidget(DBEdit20, 1);
    sire->addLayout(hf, 1, 6, 1, 2);
    // Above the sire's HF, where the sire row ends: the calf's inbreeding and its pedigree.
    auto* kin = new QHBoxLayout;
    kin->setSpacing(4);
    kin->addWidget(inbreeding_, 1);
    kin->addWidget(pedigreeButton);
    sire->addLayout(kin, 0, 6, 1, 2);
    for (int c = 1; c < 8; c += 2) sire->setColumnStretch(c, 1);
    page->addLayout(sire);

    // 6-7: biological dam, recipient dam, captions above, in the same columns.
    QGridLayout* dams = grid();
    const QList<QWidget*> biological = {DBEdit21, DBEdit22, DBEdit23, DBEdit24, DBEdit25, DBEdit26, DBEdit27, DBEdit28};
    const QList<QWidget*> recipient = {DBEdit29, DBEdit30, DBEdit31, DBEdit32, DBEdit33, DBEdit34};
    for (int i = 0; i < biological.size(); ++i) {
        stackedCell(dams, 0, i, biological[i]);
        dams->setColumnStretch(i, 1);
    }
    for (int i = 0; i < recipient.size(); ++i) stackedCell(dams, 1, i, recipient[i]);
    page->addLayout(dams);

    // 8: the service that led to pregnancy at the right, then inseminations 1, 2 and 3.
    QGridLayout* services = grid();
    inlineCell(services, 0, 0, DBComboBox13);
    inlineCell(services, 2, 0, DBEdit44);
    QWidget* const columnsOfServices[3][3] = {
        {DBEdit35, DBComboBox9, DBEdit37}, {DBEdit38, DBComboBox10, DBEdit40}, {DBEdit41, DBComboBox11, DBEdit43}};
    for (int s = 0; s < 3; ++s) {
        for (int r = 0; r < 3; ++r) inlineCell(services, r, s + 1, columnsOfServices[s][r]);
    }
    for (int c = 1; c < 8; c += 2) services->setColumnStretch(c, 1);
    page->addLayout(services);

    // 9-10: number of inseminations, conception, calving manner and its code; print date, colour.
    QGridLayout* closing = grid();
    inlineCell(closing, 0, 0, DBEdit46);
    inlineCell(closing, 0, 1, DBComboBox12);
    inlineCell(closing, 0, 2, DBComboBox14);
    inlineCell(closing, 0, 3, DBEdit48);
    inlineCell(closing, 1, 0, DBEdit50);
    inlineCell(closing, 1, 1, DBComboBox15);
    closing->addWidget(captions_.value(reasonBox), 1, 4);
    closing->addWidget(reasonBox, 1, 5, 1, 3);
    closing->setColumnStretch(1, 2);
    closing->setColumnStretch(3, 2);
    closing->setColumnStretch(5, 3);
    closing->setColumnStretch(7, 1);
    page->addLayout(closing);
    page->addStretch(1);

    // 11: the three photos, and OK above Cancel at the left edge.
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    QToolButton* arrows[3] = {dxToolButton2, dxToolButton3, dxToolButton4};
    PictureBox* images[3] = {DBImage1, DBImage2, DBImage3};
    for (int i = 0; i < 3; ++i) {
        auto* photo = new QVBoxLayout;
        photo->setSpacing(2);
        auto* head = new QHBoxLayout;
        head->setSpacing(3);
        head->addWidget(captions_.value(images[i]));
        head->addWidget(arrows[i]);
        head->addStretch(1);
        photo->addLayout(head);
        photo->addWidget(images[i]);
        bottom->addLayout(photo);
    }
    bottom->addStretch(1);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    buttons->addStretch(1);
    buttons->addWidget(dxButton1);
    buttons->addWidget(dxButton2);
    bottom->addLayout(buttons);
    page->addLayout(bottom);
}

void TForm2::bindControls() {
    for (auto it = boxes_.cbegin(); it != boxes_.cend(); ++it) {
        QWidget* box = it.value();
        if (auto* line = qobject_cast<QLineEdit*>(box)) {
            connect(line, &QLineEdit::textChanged, this, [this, line](const QString& t) { writeColumn(line, t); });
        } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
            if (combo->isEditable()) {
                connect(combo, &QComboBox::currentTextChanged, this,
                        [this, combo](const QString& t) { writeColumn(combo, t); });
            } else {
                // The pick list changes only when the user picks an item.
                connect(combo, &QComboBox::activated, this, [this, combo](int index) {
                    writeColumn(combo, combo->itemText(index));
                    if (combo == DBComboBox14) DBComboBox14Change();
                });
            }
        }
    }
    connect(dxToolButton1, &QToolButton::clicked, this, &TForm2::dxToolButton1Click);
    connect(dxToolButton2, &QToolButton::clicked, this, &TForm2::dxToolButton2Click);
    connect(dxToolButton3, &QToolButton::clicked, this, &TForm2::dxToolButton3Click);
    connect(dxToolButton4, &QToolButton::clicked, this, &TForm2::dxToolButton4Click);
    connect(DBImage1, &PictureBox::doubleClicked, this, &TForm2::DBImage1DblClick);
    // All three boxes open the chooser on a double-click: a stray click on photo 2 must not.
    connect(DBImage2, &PictureBox::doubleClicked, this, &TForm2::DBImage2DblClick);
    connect(DBImage3, &PictureBox::doubleClicked, this, &TForm2::DBImage3DblClick);
    connect(DBImage1, &PictureBox::activated, this, [this] { loadPhoto(0); });
    connect(DBImage2, &PictureBox::activated, this, [this] { loadPhoto(1); });
    connect(DBImage3, &PictureBox::activated, this, [this] { loadPhoto(2); });
    connect(dxButton1, &QPushButton::clicked, this, &TForm2::dxButton1Click);
    connect(dxButton2, &QPushButton::clicked, this, &TForm2::dxButton2Click);
}

}  // namespace zartav
