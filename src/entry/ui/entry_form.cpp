#include "entry/ui/entry_form.h"

#include "data/pedigree/pedigree.h"
#include "data/pedigree/record_checks.h"
#include "data/records/column_groups.h"
#include "data/records/record_find.h"
#include "data/history/history_text.h"
#include "data/records/record_text.h"
#include "data/tdm.h"
#include "util/photo_convert.h"
#include "entry/ui/dos_sperm_form.h"
#include "entry/ui/pedigree_form.h"
#include "entry/ui/picture_box.h"
#include "entry/ui/picture_dialog.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "services/ttools.h"
#include "util/ui/dialog_helpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <iterator>

namespace zartav {

namespace {

enum class Kind { Edit, Date, CheckedDate, List, PickList, ShowOnly };
enum class Group { None, Registration, Calf, Sire, Dams, Inseminations };

struct Field {
    const char* name;
    Kind kind;
    const char* caption;  // blanks included: they are part of the caption
    const char* column;   // two blanks inside some names: part of the name
    Group group;
    char items;  // fixed item list A-E, 0 for none
};

// In tab order.
const Field kFields[] = {
    {"DBEdit1", Kind::Edit, "شماره ثبت", "شماره ثبت", Group::Registration, 0},
    {"DBComboBox1", Kind::List, "كد استان", "كد استان", Group::Registration, 0},
    {"DBComboBox2", Kind::List, "نام استان", "نام استان", Group::Registration, 0},
    {"DBComboBox3", Kind::List, "نام شهرستان", "نام شهرستان", Group::Registration, 0},
    {"DBComboBox4", Kind::List, "نام گاوداري ", "نام گاوداري", Group::Registration, 0},
    {"DBComboBox5", Kind::List, "كد گله", "كد گله", Group::Registration, 0},
    {"DBEdit7", Kind::Edit, "بدن", "بدن", Group::Calf, 0},
    {"DBEdit8", Kind::Edit, "گوش فلزي", "گوش ف", Group::Calf, 0},
    {"DBEdit9", Kind::Edit, "پلاستيكي", "گوش پ", Group::Calf, 0},
    {"DBEdit10", Kind::CheckedDate, "تاريخ تولد", "تاريخ تولد", Group::Calf, 0},
    {"DBComboBox6", Kind::List, "نام گوساله", "نام گوساله", Group::Calf, 0},
    {"DBEdit12", Kind::Edit, "شماره گل", "شماره گل", Group::Calf, 0},
    {"DBEdit13", Kind::Edit, " گوساله%HF ", "HFگوساله", Group::Calf, 0},
    {"DBComboBox7", Kind::List, "نحوه تولد", "نحوه تولد", Group::Calf, 'A'},
    {"DBComboBox8", Kind::List, "جنس گوساله", "جنس گوساله", Group::Calf, 'B'},
    {"DBEdit16", Kind::Edit, "وزن", "وزن", Group::Calf, 0},
    {"DBEdit17", Kind::Edit, "نام پدر", "نام", Group::Sire, 0},
    {"DBEdit18", Kind::Edit, "ثبت داخلي ", "ثبت داخلي", Group::Sire, 0},
    {"DBEdit19", Kind::Edit, "ثبت خارجي", "ثبت خارجي", Group::Sire, 0},
    {"DBEdit20", Kind::Edit, "پدر %HF", "HFپدر", Group::Sire, 0},
    {"DBEdit21", Kind::Edit, "بدن مادر تني", "بدن مادر تني", Group::Dams, 0},
    {"DBEdit22", Kind::Edit, "گوش فلزي", "گوش ف مادر تني", Group::Dams, 0},
    {"DBEdit23", Kind::Edit, "گوش پلاستيكي", "گوش پ مادر تني", Group::Dams, 0},
    {"DBEdit24", Kind::Edit, "شماره ثبت", "ثبت مادر تني", Group::Dams, 0},
    {"DBEdit25", Kind::Edit, "نام گل", "نام گل مادر تني", Group::Dams, 0},
    {"DBEdit26", Kind::Edit, "شماره گل ", "شماره گل مادر تني", Group::Dams, 0},
    {"DBEdit27", Kind::Edit, "دوره زايش", "دوره زايش", Group::Dams, 0},
    {"DBEdit28", Kind::Edit, "مادر تني %HF", "HFمادر تني", Group::Dams, 0},
    {"DBEdit29", Kind::Edit, "بدن مادر ناتني", "بدن مادر ناتني", Group::Dams, 0},
    {"DBEdit30", Kind::Edit, "گوش فلزي ", "گوش ف مادر ناتني", Group::Dams, 0},
    {"DBEdit31", Kind::Edit, "گوش پلاستيكي", "گوش پ مادر ناتني", Group::Dams, 0},
    {"DBEdit32", Kind::Edit, "شماره ثبت", "ثبت مادر ناتني", Group::Dams, 0},
    {"DBEdit33", Kind::Edit, "نام گل", "نام گل مادر ناتني", Group::Dams, 0},
    {"DBEdit34", Kind::Edit, "شماره گل", "شماره گل مادر ناتني", Group::Dams, 0},
    {"DBComboBox13", Kind::List, "نوع منجر به باروري", "نوع منجر به باروري", Group::Inseminations, 'C'},
    {"DBEdit44", Kind::CheckedDate, "تاريخ منجر به باروري", "تاريخ منجر به باروري", Group::Inseminations, 0},
    {"DBEdit35", Kind::Edit, "اسپرم تلقيح 1", "اسپرم تلقيح 1", Group::Inseminations, 0},
    {"DBComboBox9", Kind::List, "نوع تلقيح 1", "نوع تلقيح  1", Group::Inseminations, 'C'},
    {"DBEdit37", Kind::Date, "تاريخ تلقيح 1", "تاريخ  تلقيح 1", Group::Inseminations, 0},
    {"DBEdit38", Kind::Edit, "اسپرم تلقيح 2", "اسپرم تلقيح 2", Group::Inseminations, 0},
    {"DBComboBox10", Kind::List, "نوع تلقيح 2", "نوع تلقيح  2", Group::Inseminations, 'C'},
    {"DBEdit40", Kind::Date, "تاريخ تلقيح 2", "تاريخ  تلقيح 2", Group::Inseminations, 0},
    {"DBEdit41", Kind::Edit, "اسپرم تلقيح 3", "اسپرم تلقيح 3", Group::Inseminations, 0},
    {"DBComboBox11", Kind::List, "نوع تلقيح 3", "نوع تلقيح  3", Group::Inseminations, 'C'},
    {"DBEdit43", Kind::Date, "تاريخ تلقيح 3", "تاريخ  تلقيح 3", Group::Inseminations, 0},
    {"DBEdit46", Kind::Edit, "تعداد تلقيح", "تعداد تلقيح", Group::None, 0},
    {"DBComboBox12", Kind::List, "نوع باروري", "نوع باروري", Group::None, 'C'},
    {"DBComboBox14", Kind::PickList, "چگونگي زايمان", "چگونگي زايمان", Group::None, 'D'},
    {"DBEdit50", Kind::CheckedDate, "تاريخ چاپ", "تاريخ چاپ", Group::None, 0},
    {"DBComboBox15", Kind::List, "رنگ لكه ها", "رنگ لكه ها", Group::None, 'E'},
    {"DBEdit48", Kind::ShowOnly, "كد نحوه زايش", "كد نحوه زايش", Group::None, 0},
};

const char* const kPhotoColumns[3] = {"عكس 1", "عكس 2", "عكس 3"};

// The lists of stored values, refilled before every showing, in this order.
const struct {
    const char* box;
    const char* column;
} kStoredValueLists[] = {
    {"DBComboBox1", "كد استان"},    {"DBComboBox2", "نام استان"}, {"DBComboBox3", "نام شهرستان"},
    {"DBComboBox4", "نام گاوداري"}, {"DBComboBox5", "كد گله"},    {"DBComboBox6", "نام گوساله"},
};

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

QList<int> storedValueColumns() {
    QList<int> columns;
    for (const auto& list : kStoredValueLists) columns << RecordTable::columnIndex(text(list.column));
    return columns;
}

}  // namespace

QStringList TForm2::mannerOfBirthItems() {
    return {QStringLiteral("تك قلو"), QStringLiteral("دو قلو"), QStringLiteral("سه قلو")};
}

QStringList TForm2::calfSexItems() {
    return {QStringLiteral("ماده"), QStringLiteral("نر"), QStringLiteral("فري مارتين ماده"),
            QStringLiteral("فري مارتين نر")};
}

QStringList TForm2::serviceTypeItems() {
    return {QStringLiteral("مصنوعي"), QStringLiteral("طبيعي"), QStringLiteral("انتقال جنين")};
}

QStringList TForm2::calvingMannerItems() {
    return {QStringLiteral("بدون كمك"), QStringLiteral("با كمك بدون صدمه"), QStringLiteral("با كمك زياد و صدمات كم"),
            QStringLiteral("با كمك زياد و صدمات زياد"), QStringLiteral("سزارين")};
}

QStringList TForm2::patchColourItems() { return {QStringLiteral("سياه و سفيد"), QStringLiteral("قرمز و سياه")}; }

QString TForm2::photoFailureText() { return QStringLiteral("خطا در ساخت فايل موقت تصوير"); }

TForm2::TForm2(TDM& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      dm_(dm) {
    // New opens with the lists held, read beforehand where it costs the window nothing.
    dm_.storedValues().keepAtHand(storedValueColumns());
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
    for (const Field& f : kFields) {
        QWidget* box = nullptr;
        QLineEdit* line = nullptr;
        if (f.kind == Kind::List || f.kind == Kind::PickList) {
            auto* combo = new QComboBox(this);
            combo->setEditable(f.kind == Kind::List);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            combo->setMinimumContentsLength(4);
            combo->setMaxVisibleItems(12);
            switch (f.items) {
            case 'A': combo->addItems(mannerOfBirthItems()); break;
            case 'B': combo->addItems(calfSexItems()); break;
            case 'C': combo->addItems(serviceTypeItems()); break;
            case 'D': combo->addItems(calvingMannerItems()); break;
            case 'E': combo->addItems(patchColourItems()); break;
            default: break;
            }
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
        auto* label = new QLabel(text(kPhotoColumns[i]), this);
        label->setBuddy(*images[i]);
        captions_.insert(*images[i], label);
        columns_.insert(*images[i], text(kPhotoColumns[i]));
        boxes_.insert(text(kPhotoColumns[i]), *images[i]);
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
    for (const Field& f : kFields) {
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

QWidget* TForm2::boxOf(const QString& column) const { return boxes_.value(column); }

void TForm2::writeColumn(QWidget* box, const QString& value) {
    if (loading_) return;
    typed_ = true;
    dm_.TVascor.setValue(columns_.value(box), value);
    if (box == DBEdit18 || box == DBEdit19 || box == DBEdit24) inbreedingTimer_->start();
}

void TForm2::showInbreeding() {
    inbreedingTimer_->stop();
    RecordTable& record = dm_.TVascor;
    QStringList values;
    for (const QString& column : pedigree::AnimalReader::recordColumns()) values << record.value(column);
    const pedigree::Animal calf = pedigree::AnimalReader::recordFrom(record.id(), values);
    inbreeding_->clear();
    const quint64 asked = ++inbreedingAsked_;
    if (!calf.sire.known() || !calf.dam.known() || !dm_.TVascor.isOpen()) return;
    // Read by the store worker: the form opens and takes keys meanwhile, and the figure follows.
    auto read = std::make_shared<std::optional<pedigree::Pedigree>>();
    dm_.worker().post(
        [read, calf](StoreLink& link) {
            const pedigree::AnimalReader reader(link);
            *read = withLink(link, [&] { return pedigree::Pedigree::read(reader, calf); });
        },
        [this, read, asked] {
            // The store cannot be read now: nothing is said rather than a wrong figure; an answer
            // for numbers typed over since is nobody's.
            if (asked == inbreedingAsked_ && *read) showInbreeding(**read);
        });
}

void TForm2::showInbreeding(pedigree::Pedigree& p) {
    const double f = p.inbreeding();
    inbreeding_->setText(QStringLiteral("همخوني %1 %  (شجره %2 % كامل)")
                             .arg(QString::number(f * 100, 'f', 1), QString::number(p.completeness() * 100, 'f', 0)));
    QPalette pal = inbreeding_->palette();
    pal.setColor(QPalette::WindowText, f > 0.0625 + 1e-12 ? QColor(Qt::red) : palette().color(QPalette::WindowText));
    inbreeding_->setPalette(pal);
}

void TForm2::showColumn(QWidget* box) {
    const QString value = dm_.TVascor.value(columns_.value(box));
    const bool wasLoading = loading_;
    loading_ = true;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(value);
        line->setCursorPosition(0);
    } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
        const int index = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
        combo->setCurrentIndex(index);
        // A stored value that is not one of the items shows as typed text (a pick list has none).
        if (index < 0 && combo->isEditable()) combo->setEditText(value);
        if (combo->lineEdit()) combo->lineEdit()->setCursorPosition(0);
    } else if (auto* image = qobject_cast<PictureBox*>(box)) {
        image->showPhoto(dm_.TVascor.photo(columns_.value(box)));
    }
    loading_ = wasLoading;
}

void TForm2::loadRecord() {
    for (QWidget* box : std::as_const(boxes_)) showColumn(box);
    RecordTable& record = dm_.TVascor;
    const bool editing = record.state() == RecordState::Edit;
    reasonBox->setVisible(editing);
    captions_.value(reasonBox)->setVisible(editing);
    // As stored: the certificate was printed before this edit began.
    reasonRequired_ = editing && history::needsReason(record.value(QStringLiteral("تاريخ چاپ")));
    for (QLineEdit* box : std::as_const(dateBoxes_)) box->setStyleSheet(QString());
    showInbreeding();
}

void TForm2::FillLists() {
    QStringList unread;
    QString why;
    // Those not held are read together, in one go.
    dm_.storedValues().fetch(storedValueColumns(), &why);
    for (const auto& list : kStoredValueLists) {
        auto* combo = findChild<QComboBox*>(text(list.box));
        auto* model = static_cast<QStringListModel*>(combo->model());
        QStringList items = model->stringList();
        // A failed statement keeps the items, and the user hears which list is an old one. A
        // code is offered once, whatever digits it was stored in.
        if (!dm_.FillStoredValues(text(list.column), items, &why))
            unread << QStringLiteral("«%1»").arg(text(list.column));
        else if (record_text::isNumberColumn(RecordTable::columnIndex(text(list.column))))
            items = find::foldedValues(items);
        const bool wasLoading = loading_;
        loading_ = true;
        model->setStringList(items);
        combo->setCurrentIndex(-1);
        combo->clearEditText();
        loading_ = wasLoading;
    }
    if (!unread.isEmpty())
        showError(withEngineWords(storedValuesUnreadText(unread.join(QStringLiteral("، ")), storeNoun(dm_.Maincon)), why));
}

QString TForm2::storedValuesUnreadText(const QString& lists, const QString& store) {
    return QStringLiteral("فهرست مقدارهاي %1 از %2 خوانده نشد؛ آنچه پيش از اين در فهرست بود مانده است.").arg(lists, store);
}

int TForm2::ShowModal() {
    reasonBox->clear();
    loadRecord();
    typed_ = false;
    const int result = exec();
    ++inbreedingAsked_;  // a figure still on its way is for a form that has closed
    return result;
}

bool TForm2::ConvertJPG2BMP(const QString& fileName) {
    std::optional<QByteArray> bitmap = photo::storedBitmapFromFile(fileName);
    if (!bitmap) return false;
    temporaryBitmap_ = std::move(*bitmap);
    return true;
}

void TForm2::loadPhoto(int photo) {
    const std::optional<QString> file = OpenPictureDialog1->Execute();
    if (!file) return;
    if (!ConvertJPG2BMP(*file)) {
        showPlainBox(MessageIcon::Information, photoFailureText());
        return;
    }
    PictureBox* images[3] = {DBImage1, DBImage2, DBImage3};
    if (!dm_.TVascor.setPhoto(text(kPhotoColumns[photo]), temporaryBitmap_)) return;
    typed_ = true;
    images[photo]->showPhoto(temporaryBitmap_);
}

void TForm2::dxToolButton2Click() { loadPhoto(0); }
void TForm2::dxToolButton3Click() { loadPhoto(1); }
void TForm2::dxToolButton4Click() { loadPhoto(2); }
void TForm2::DBImage1DblClick() { loadPhoto(0); }
void TForm2::DBImage2DblClick() { loadPhoto(1); }
void TForm2::DBImage3DblClick() { loadPhoto(2); }

void TForm2::dxToolButton1Click() {
    if (!picker_) return;
    picker_->setDam(dm_.TVascor.value(QStringLiteral("ثبت مادر تني")));
    if (picker_->exec() != TDosSperm::kOk) return;
    RecordTable& record = dm_.TVascor;
    const CatalogueTable& bulls = dm_.TDosSperm;
    typed_ = true;
    record.setValue(QStringLiteral("HFپدر"), QStringLiteral("100"));
    // A catalogue written elsewhere may hold more than a record column takes: what the boxes
    // show must be what is saved, so the value is cut to fit here, and the user told once.
    const int room = RecordTable::maxLength();
    bool cut = false;
    const std::pair<const char*, const char*> copies[] = {
        {"نام", "Name_SP"}, {"ثبت داخلي", "RegNo_SP"}, {"ثبت خارجي", "RegNo_SPF"}};
    for (const auto& [column, source] : copies) {
        const QString value = bulls.value(QLatin1String(source));
        cut = cut || value.size() > room;
        record.setValue(text(column), value.left(room));
    }
    for (QLineEdit* box : {DBEdit20, DBEdit17, DBEdit18, DBEdit19}) showColumn(box);
    showInbreeding();
    if (cut)
        showMessage(QStringLiteral("اطلاعات اين گاو در كاتالوگ از %1 حرف بلندتر است؛ فقط %1 حرف اول آن در شناسنامه ثبت مي شود.")
                        .arg(room));
}

void TForm2::DBComboBox14Change() {
    const QString chosen = DBComboBox14->currentText().trimmed();
    const int position = calvingMannerItems().indexOf(chosen);
    if (position < 0) return;
    dm_.TVascor.setValue(QStringLiteral("كد نحوه زايش"), QString::number(position + 1));
    showColumn(DBEdit48);
}

void TForm2::DBEdit10DblClick() { TTools::instance().PickDateFromDate(DBEdit10); }

void TForm2::DBEdit44DblClick(QLineEdit* box) { TTools::instance().PickDateFromDate(box ? box : DBEdit44); }

bool TForm2::checkTexts() {
    RecordTable& record = dm_.TVascor;
    for (const Field& f : kFields) {
        QWidget* box = boxes_.value(text(f.column));
        const QString column = text(f.column);
        const QString value = record.value(column);
        if (const QString why = record_text::refusal(RecordTable::columnIndex(column), value); !why.isEmpty()) {
            showMessage(QStringLiteral("«%1»: %2").arg(column, why));
            box->setFocus();
            return false;
        }
        const QString stored = record_text::stored(RecordTable::columnIndex(column), value);
        if (stored != value) {
            record.setValue(column, stored);
            showColumn(box);  // what the box shows is what is saved
        }
    }
    return true;
}

bool TForm2::checkReason() {
    RecordTable& record = dm_.TVascor;
    if (record.state() != RecordState::Edit) return true;
    const QString reason = reasonBox->text().trimmed();
    QString refusal;
    if (reason.isEmpty() && reasonRequired_) refusal = history::reasonRequiredText();
    else if (holdsDirectionControl(reason)) refusal = QStringLiteral("«علت اصلاح»: %1").arg(directionControlReason());
    if (!refusal.isEmpty()) {
        showMessage(refusal);
        reasonBox->setFocus();
        return false;
    }
    record.setChangeReason(reason);
    return true;
}

QColor TForm2::wrongBoxColour() { return QColor(0xFF, 0xD6, 0xD6); }

bool TForm2::checkDate(QLineEdit* box) {
    // The message box names the field; the box stays marked until it is typed in again.
    if (TTools::instance().CheckTheDate(box, columns_.value(box))) return true;
    box->setStyleSheet(QStringLiteral("QLineEdit { background: %1; }").arg(wrongBoxColour().name()));
    connect(box, &QLineEdit::textChanged, box, [box] { box->setStyleSheet(QString()); }, Qt::SingleShotConnection);
    return false;
}

void TForm2::dxButton1Click() {
    // Only the first wrong date is reported; the focus is left in its box.
    if (!checkDate(DBEdit10)) return;
    if (!checkDate(DBEdit44)) return;
    if (!checkDate(DBEdit50)) return;
    if (!checkTexts()) return;
    if (!checkReason()) return;
    if (!confirmChecks()) return;
    if (confirmOk_ && !confirmOk_()) return;
    done(kOk);
}

bool TForm2::confirmChecks() {
    RecordTable& record = dm_.TVascor;
    // The typed values are taken here; the store is asked by its worker, the form waiting.
    QHash<QString, QString> typed;
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        const QString column = schema::column(schema::kRecordColumns[i]);
        typed.insert(column, record.value(column));
    }
    const qint64 id = record.id();
    std::optional<checks::Facts> facts;
    // A store that cannot be read now does not keep the record from being saved.
    dm_.worker().call([&](StoreLink& link) {
        facts = checks::factsOf(link, id, [&typed](const char* column) { return typed.value(QString::fromUtf8(column)); });
    });
    if (!facts) return true;
    const QStringList today = TTools::instance().FarsiToday().split(QLatin1Char('/'));
    if (today.size() != 3) return true;
    const QList<checks::Finding> findings =
        checks::findingsOf(*facts, {today[0].toInt(), today[1].toInt(), today[2].toInt()});
    return findings.isEmpty() || askYesNo(checks::confirmationText(findings)) == kAnswerYes;
}

void TForm2::dxButton2Click() { done(kCancel); }

void TForm2::reject() {}

QString TForm2::dropTypedQuestion() {
    return QStringLiteral("آنچه در اين فرم نوشته ايد ذخيره نمي شود. فرم بسته شود؟");
}

QWidget* TForm2::lastBox() const {
    // The last box a clerk types into; the calving code after it only shows.
    for (auto f = std::rbegin(kFields); f != std::rend(kFields); ++f) {
        QWidget* box = boxes_.value(text(f->column));
        if (box->isEnabled()) return box;
    }
    return nullptr;
}

void TForm2::enterPressed(QWidget* box) {
    if (box == dxButton1 || box == dxButton2) {
        static_cast<QPushButton*>(box)->click();
    } else if (box == lastBox()) {
        dxButton1Click();
    } else {
        // The next box in tab order after this one, whichever window has the focus right now.
        QWidget* next = box;
        do {
            next = next->nextInFocusChain();
        } while (next != box && (box->isAncestorOf(next) || !isAncestorOf(next) || !next->isEnabled() ||
                                 !next->isVisibleTo(this) || !(next->focusPolicy() & Qt::TabFocus)));
        next->setFocus(Qt::TabFocusReason);
    }
}

void TForm2::escapePressed() {
    // Nothing typed: nothing to lose, no question.
    if (typed_ && askYesNo(dropTypedQuestion()) != kAnswerYes) return;
    dxButton2Click();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == DBEdit10) {
            DBEdit10DblClick();
            return true;
        }
        if (auto* box = qobject_cast<QLineEdit*>(watched); box && dateBoxes_.contains(box)) {
            DBEdit44DblClick(box);
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        // The box itself, for the text box inside an editable list.
        auto* combo = qobject_cast<QComboBox*>(widget);
        if (!combo) combo = qobject_cast<QComboBox*>(widget->parentWidget());
        QWidget* box = combo ? combo : widget;
        // An open list answers Enter and Escape itself: they choose or close it.
        const bool listOpen = combo && combo->view()->isVisible();
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (!listOpen && plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            enterPressed(box);
            return true;
        }
        if (!listOpen && plain && key->key() == Qt::Key_Escape) {
            escapePressed();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    // Keys no box took: Enter on a button presses it, Escape cancels wherever the focus is.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        enterPressed(focusWidget());
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        escapePressed();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm2::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    QDialog::showEvent(event);
    // The first keys typed go into the first box, whichever box had the focus last time.
    DBEdit1->setFocus(Qt::OtherFocusReason);
}

}  // namespace zartav
