#pragma once

// A realistic certificate record and a real Data.db holding records, for the printing tests.

#include "fixtures.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "print/certificate_renderer.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QString>

namespace zartav::print::sample {

inline QString col(const char* name) { return QString::fromUtf8(name); }

inline QByteArray bmpBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

inline QByteArray solidBmp(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return bmpBytes(image);
}

inline QByteArray testPhoto() {
    return zartav::test::fixtureBytes(QStringLiteral("photos/small-800x500.bmp"));
}

// Every printed column with a value a farm would type.
inline QHash<QString, QString> realisticValues() {
    const std::pair<const char*, const char*> pairs[] = {
        {"شماره ثبت", "IR9812345678"},
        {"كد استان", "24"},
        {"نام استان", "مركزي"},
        {"كد گله", "1207"},
        {"نام گاوداري", "گاوداري صنعتي ونك"},
        {"نام شهرستان", "اراك"},
        {"بدن", "3412"},
        {"گوش ف", "981204"},
        {"گوش پ", "5512"},
        {"تاريخ تولد", "1403/02/14"},
        {"نام گوساله", "گلاره"},
        {"شماره گل", "77"},
        {"HFگوساله", "100"},
        {"نحوه تولد", "تك قلو"},
        {"جنس گوساله", "ماده"},
        {"وزن", "41"},
        {"نام", "بلك استار"},
        {"ثبت داخلي", "IRN2210"},
        {"ثبت خارجي", "USA17349875"},
        {"HFپدر", "100"},
        {"بدن مادر تني", "2290"},
        {"گوش ف مادر تني", "871166"},
        {"گوش پ مادر تني", "3310"},
        {"ثبت مادر تني", "IR9711223344"},
        {"نام گل مادر تني", "نسترن"},
        {"شماره گل مادر تني", "31"},
        {"دوره زايش", "3"},
        {"HFمادر تني", "96"},
        {"بدن مادر ناتني", "2517"},
        {"گوش ف مادر ناتني", "902233"},
        {"گوش پ مادر ناتني", "4120"},
        {"ثبت مادر ناتني", "IR9819988776"},
        {"نام گل مادر ناتني", "مريم"},
        {"شماره گل مادر ناتني", "12"},
        {"اسپرم تلقيح 1", "بلك استار"},
        {"نوع تلقيح  1", "مصنوعي"},
        {"تاريخ  تلقيح 1", "1402/04/02"},
        {"اسپرم تلقيح 2", "شوتايم"},
        {"نوع تلقيح  2", "مصنوعي"},
        {"تاريخ  تلقيح 2", "1402/04/25"},
        {"اسپرم تلقيح 3", "گلدوين"},
        {"نوع تلقيح  3", "انتقال جنين"},
        {"تاريخ  تلقيح 3", "1402/05/19"},
        {"تاريخ منجر به باروري", "1402/05/19"},
        {"نوع منجر به باروري", "انتقال جنين"},
        {"تعداد تلقيح", "3"},
        {"چگونگي زايمان", "زايمان آسان بدون كمك"},
        {"كد نحوه زايش", "1"},
        {"رنگ لكه ها", "سياه و سفيد"},
        {"تاريخ چاپ", "1403/03/01"},
        {"نوع باروري", "انتقال جنين"},
    };
    QHash<QString, QString> values;
    for (const auto& [k, v] : pairs) values.insert(col(k), QString::fromUtf8(v));
    return values;
}

inline CertificateRecord realisticRecord() {
    CertificateRecord r;
    r.values = realisticValues();
    const QByteArray photo = testPhoto();
    for (const char* p : schema::kPhotoColumns) r.pictures.insert(col(p), photo);
    return r;
}

// The texts an office sets before it prints official certificates.
inline QHash<QString, QString> officeTexts() {
    return {{QStringLiteral("ministry"), QStringLiteral("وزارت جهاد كشاورزي")},
            {QStringLiteral("centre"), QStringLiteral("مركز اصلاح نژاد و بهبود توليدات دامي")},
            {QStringLiteral("union"), QStringLiteral("صدور شناسنامه توسط اتحاديه دامداران")},
            {QStringLiteral("registry"), QStringLiteral("ثبت مشخصات و دفتر انساب مركز اصلاح نژاد دام")},
            {QStringLiteral("office"), QStringLiteral("دفتر مركزي")}};
}

// Writes records into a new Data.db at `path`, its office's texts set; answers the IDs the
// database gave them.
inline QList<qint64> writeDatabase(const QString& path, const QList<CertificateRecord>& records) {
    QList<qint64> ids;
    TDM dm;
    if (!dm.Maincon.open(path) || !dm.TVascor.open()) return ids;
    QSqlDatabase db = dm.Maincon.database();
    if (!certificates::writeOfficeTexts(db, officeTexts())) return ids;
    for (const CertificateRecord& r : records) {
        if (!dm.TVascor.insert()) return ids;
        for (auto it = r.values.begin(); it != r.values.end(); ++it) dm.TVascor.setValue(it.key(), it.value());
        for (auto it = r.pictures.begin(); it != r.pictures.end(); ++it) dm.TVascor.setPhoto(it.key(), it.value());
        if (!dm.TVascor.post()) return ids;
        ids << dm.TVascor.id();
    }
    return ids;
}

}  // namespace zartav::print::sample
