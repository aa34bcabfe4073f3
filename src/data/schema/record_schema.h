#pragma once

// Column names of the two tables. The Farsi names are exactly as stored in existing files,
// including the double blanks inside some of them; they are not typos.

#include <QString>
#include <QVariant>
#include <array>

namespace zartav::schema {

inline constexpr const char* kRecordTable = "VaskorTemp";
inline constexpr const char* kCatalogueTable = "DosSperm";

// VaskorTemp, in the record list's order, then the key and the photos.
inline constexpr std::array<const char*, 55> kRecordColumns = {
    "شماره ثبت",
    "كد استان",
    "نام استان",
    "كد گله",
    "نام گاوداري",
    "نام شهرستان",
    "بدن",
    "گوش ف",
    "گوش پ",
    "تاريخ تولد",
    "نام گوساله",
    "شماره گل",
    "HFگوساله",
    "نحوه تولد",
    "جنس گوساله",
    "وزن",
    "نام",
    "ثبت داخلي",
    "ثبت خارجي",
    "HFپدر",
    "بدن مادر تني",
    "گوش ف مادر تني",
    "گوش پ مادر تني",
    "ثبت مادر تني",
    "نام گل مادر تني",
    "شماره گل مادر تني",
    "دوره زايش",
    "HFمادر تني",
    "بدن مادر ناتني",
    "گوش ف مادر ناتني",
    "گوش پ مادر ناتني",
    "ثبت مادر ناتني",
    "نام گل مادر ناتني",
    "شماره گل مادر ناتني",
    "اسپرم تلقيح 1",
    "نوع تلقيح  1",
    "تاريخ  تلقيح 1",
    "اسپرم تلقيح 2",
    "نوع تلقيح  2",
    "تاريخ  تلقيح 2",
    "اسپرم تلقيح 3",
    "نوع تلقيح  3",
    "تاريخ  تلقيح 3",
    "تاريخ منجر به باروري",
    "نوع منجر به باروري",
    "تعداد تلقيح",
    "چگونگي زايمان",
    "كد نحوه زايش",
    "رنگ لكه ها",
    "تاريخ چاپ",
    "نوع باروري",
    "ID",
    "عكس 1",
    "عكس 2",
    "عكس 3",
};

inline constexpr int kListedColumnCount = 51;  // the record list shows the first 51
inline constexpr int kProvinceColumnIndex = 1;  // "كد استان", which an office's rights go by
inline constexpr int kHerdColumnIndex = 3;     // "كد گله", which the herd tabs group by
inline constexpr int kPrintDateColumnIndex = 49;  // "تاريخ چاپ"
inline constexpr int kIdColumnIndex = 51;
inline constexpr int kFirstPhotoColumnIndex = 52;
// Every text column holds at most this many characters (the size the entry boxes accept).
inline constexpr int kTextColumnSize = 50;
inline constexpr const char* kId = "ID";
inline constexpr std::array<const char*, 3> kPhotoColumns = {"عكس 1", "عكس 2", "عكس 3"};

// DosSperm, in the catalogue grid's order.
inline constexpr std::array<const char*, 31> kCatalogueColumns = {
    "Name_Sp",
    "Code_Sp",
    "RegNo_SPF",
    "RegNo_Sp",
    "Sire_Name",
    "Sire_Reg_F",
    "Sire_RegNo",
    "Dam_RegNo",
    "GSSire_Nam",
    "GSSir_RegF",
    "GSSire_Reg",
    "GDam_Sire",
    "GDSire_Nam",
    "GDSir_RegF",
    "GDSir_RegN",
    "GDDam_Reg",
    "Family",
    "Cal_Easy",
    "Rel_M",
    "PTA_M",
    "Avrage_M",
    "PTA_F",
    "PTA_Fp",
    "PTA_T",
    "Base_Year",
    "Dam_FatP",
    "Dam_Fat",
    "Dam_Milk",
    "Lact_No",
    "Breeder",
    "BP",
};

// The server keeps the catalogue's own order (the order its rows were written in) in a column
// of its own; the file has its row numbers for that.
inline constexpr const char* kServerCatalogueOrderColumn = "RowOrder";

inline QString column(const char* name) { return QString::fromUtf8(name); }

inline bool isPhotoColumn(int index) { return index >= kFirstPhotoColumnIndex; }
// The 51 text columns the list shows (every column but "ID" and the photos).
inline bool isListedColumn(int index) { return index >= 0 && index < kListedColumnCount; }

// A stored value as the windows show it: a null or missing value is empty text.
inline QString textOf(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return {};
    return value.toString();
}

}  // namespace zartav::schema
