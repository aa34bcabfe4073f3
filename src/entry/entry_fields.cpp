#include "entry/entry_fields.h"

#include "data/records/record_table.h"

namespace zartav::entry {

namespace {

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

const StoredValueList kStoredValueLists[] = {
    {"DBComboBox1", "كد استان"},    {"DBComboBox2", "نام استان"}, {"DBComboBox3", "نام شهرستان"},
    {"DBComboBox4", "نام گاوداري"}, {"DBComboBox5", "كد گله"},    {"DBComboBox6", "نام گوساله"},
};

}  // namespace

const char* const kPhotoColumns[3] = {"عكس 1", "عكس 2", "عكس 3"};

std::span<const Field> fields() { return kFields; }

std::span<const StoredValueList> storedValueLists() { return kStoredValueLists; }

QList<int> storedValueColumns() {
    QList<int> columns;
    for (const StoredValueList& list : kStoredValueLists)
        columns << RecordTable::columnIndex(QString::fromUtf8(list.column));
    return columns;
}

QStringList itemsOf(char list) {
    switch (list) {
    case 'A': return mannerOfBirthItems();
    case 'B': return calfSexItems();
    case 'C': return serviceTypeItems();
    case 'D': return calvingMannerItems();
    case 'E': return patchColourItems();
    default: return {};
    }
}

QStringList mannerOfBirthItems() {
    return {QStringLiteral("تك قلو"), QStringLiteral("دو قلو"), QStringLiteral("سه قلو")};
}

QStringList calfSexItems() {
    return {QStringLiteral("ماده"), QStringLiteral("نر"), QStringLiteral("فري مارتين ماده"),
            QStringLiteral("فري مارتين نر")};
}

QStringList serviceTypeItems() {
    return {QStringLiteral("مصنوعي"), QStringLiteral("طبيعي"), QStringLiteral("انتقال جنين")};
}

QStringList calvingMannerItems() {
    return {QStringLiteral("بدون كمك"), QStringLiteral("با كمك بدون صدمه"), QStringLiteral("با كمك زياد و صدمات كم"),
            QStringLiteral("با كمك زياد و صدمات زياد"), QStringLiteral("سزارين")};
}

QStringList patchColourItems() { return {QStringLiteral("سياه و سفيد"), QStringLiteral("قرمز و سياه")}; }

}  // namespace zartav::entry
