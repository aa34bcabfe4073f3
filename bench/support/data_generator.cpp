#include "support/data_generator.h"

#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/schema/history_schema.h"
#include "data/schema/record_schema.h"
#include "data/engine/sql_dialect.h"
#include "data/tdm.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace zartav::bench {
namespace {

const QStringList kProvinces = {
    QStringLiteral("تهران"),         QStringLiteral("اصفهان"),        QStringLiteral("خراسان رضوي"),
    QStringLiteral("فارس"),          QStringLiteral("آذربايجان شرقي"), QStringLiteral("قزوين"),
    QStringLiteral("مركزي"),         QStringLiteral("همدان"),         QStringLiteral("كرمانشاه"),
    QStringLiteral("سمنان"),         QStringLiteral("مازندران"),      QStringLiteral("گيلان"),
    QStringLiteral("خوزستان"),       QStringLiteral("يزد"),           QStringLiteral("كرمان"),
};
const QStringList kCounties = {
    QStringLiteral("ورامين"),  QStringLiteral("شهريار"), QStringLiteral("پاكدشت"), QStringLiteral("نجف آباد"),
    QStringLiteral("مشهد"),    QStringLiteral("نيشابور"), QStringLiteral("مرودشت"), QStringLiteral("تبريز"),
    QStringLiteral("تاكستان"), QStringLiteral("اراك"),    QStringLiteral("ملاير"),  QStringLiteral("اسلامشهر"),
    QStringLiteral("قائمشهر"), QStringLiteral("رشت"),     QStringLiteral("دزفول"),  QStringLiteral("ميبد"),
};
const QStringList kFarmWords = {
    QStringLiteral("گاوداري صنعتي"), QStringLiteral("دامپروري"), QStringLiteral("مجتمع شيري"),
    QStringLiteral("گاوداري"),
};
const QStringList kFarmNames = {
    QStringLiteral("بهاران"),  QStringLiteral("سبزدشت"), QStringLiteral("آرين"),  QStringLiteral("شير طلا"),
    QStringLiteral("البرز"),   QStringLiteral("زاگرس"),  QStringLiteral("پگاه"),  QStringLiteral("دشت نور"),
    QStringLiteral("فجر"),     QStringLiteral("ستاره"),  QStringLiteral("مهرگان"), QStringLiteral("كوهسار"),
};
const QStringList kCalfNames = {
    QStringLiteral("نازي"),  QStringLiteral("ستاره"), QStringLiteral("مهتاب"), QStringLiteral("گلي"),
    QStringLiteral("شيرين"), QStringLiteral("پري"),   QStringLiteral("باران"), QStringLiteral("نسيم"),
    QStringLiteral("سپيده"), QStringLiteral("آهو"),   QStringLiteral("رعنا"),  QStringLiteral("شبنم"),
};
const QStringList kBullNames = {
    QStringLiteral("BOLIVER"), QStringLiteral("GOLDWYN"), QStringLiteral("SHOTTLE"), QStringLiteral("DAMION"),
    QStringLiteral("BAXTER"),  QStringLiteral("OMAN"),    QStringLiteral("PLANET"),  QStringLiteral("MASCOL"),
    QStringLiteral("ALTAIOTA"), QStringLiteral("SUPERSIRE"), QStringLiteral("MOGUL"), QStringLiteral("ATWOOD"),
};
const QStringList kBirthKinds = {QStringLiteral("تك قلو"), QStringLiteral("دوقلو")};
const QStringList kSexes = {QStringLiteral("ماده"), QStringLiteral("نر")};
const QStringList kInseminations = {QStringLiteral("مصنوعي"), QStringLiteral("طبيعي")};
const QStringList kCalvings = {QStringLiteral("طبيعي"), QStringLiteral("سخت"), QStringLiteral("با كمك")};
const QStringList kColours = {QStringLiteral("سياه و سفيد"), QStringLiteral("قرمز و سفيد"),
                              QStringLiteral("سفيد با لكه سياه")};

QString digits(QRandomGenerator& rng, int count) {
    QString text;
    for (int i = 0; i < count; ++i) text += QChar(u'0' + rng.bounded(10));
    return text;
}

QString solarDate(int year, int month, int day) {
    return QStringLiteral("%1/%2/%3").arg(year).arg(month, 2, 10, QChar(u'0')).arg(day, 2, 10, QChar(u'0'));
}

QString pick(QRandomGenerator& rng, const QStringList& list) { return list.at(int(rng.bounded(int(list.size())))); }

struct Herd {
    QString code;
    int province;
    QString farm;
    QString county;
};

// Rows written many to a statement on the server, where each statement is a round trip; the
// file takes one row to a statement, prepared once.
class BatchInsert {
public:
    BatchInsert(QSqlDatabase db, const QString& table, const QStringList& columns, int rowsPerStatement)
        : db_(db), table_(table), columns_(columns),
          rowsPerStatement_(SqlDialect::of(db).isServer() ? rowsPerStatement : 1), full_(db) {}

    bool add(const QVariantList& row, QString* error) {
        pending_ << row;
        return pending_.size() < rowsPerStatement_ || flush(error);
    }

    bool flush(QString* error) {
        if (pending_.isEmpty()) return true;
        const bool full = pending_.size() == rowsPerStatement_;
        QSqlQuery partial(db_);
        QSqlQuery& insert = full ? full_ : partial;
        if ((!full || !prepared_) && !insert.prepare(statement(int(pending_.size()))))
            return fail(error, insert.lastError().text());
        prepared_ = prepared_ || full;
        int i = 0;
        for (const QVariantList& row : std::as_const(pending_))
            for (const QVariant& v : row) insert.bindValue(i++, v);
        pending_.clear();
        return insert.exec() || fail(error, insert.lastError().text());
    }

private:
    QString statement(int rows) const {
        const QString one = QLatin1Char('(') + QStringList(columns_.size(), QStringLiteral("?")).join(QStringLiteral(", ")) +
                            QLatin1Char(')');
        return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
            .arg(table_, columns_.join(QStringLiteral(", ")), QStringList(rows, one).join(QStringLiteral(", ")));
    }
    static bool fail(QString* error, const QString& text) {
        if (error) *error = text;
        return false;
    }
    QSqlDatabase db_;
    QString table_;
    QStringList columns_;
    int rowsPerStatement_;
    QSqlQuery full_;
    bool prepared_ = false;
    QList<QVariantList> pending_;
};

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

// The record table's secondary indexes as (name, the statement that makes it).
QList<std::pair<QString, QString>> recordIndexes(QSqlDatabase db) {
    QSqlQuery query(db);
    query.exec(SqlDialect::of(db).isServer()
                   ? QStringLiteral("SELECT i.relname, pg_get_indexdef(i.oid) FROM pg_index x "
                                    "JOIN pg_class i ON i.oid = x.indexrelid "
                                    "WHERE x.indrelid = '\"VaskorTemp\"'::regclass AND NOT x.indisunique")
                   : QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' "
                                    "AND tbl_name = 'VaskorTemp' AND sql IS NOT NULL"));
    QList<std::pair<QString, QString>> indexes;
    while (query.next()) indexes.append({query.value(0).toString(), query.value(1).toString()});
    return indexes;
}

bool run(QSqlDatabase db, const QString& statement, QString* error) {
    QSqlQuery query(db);
    return query.exec(statement) || fail(error, query.lastError().text());
}

}  // namespace

QByteArray makePhoto(int width, int height, int variant) {
    QImage image(width, height, QImage::Format_RGB888);
    const int hue = (variant * 47) % 360;
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor::fromHsv(hue, 60, 230));
    sky.setColorAt(1, QColor::fromHsv((hue + 90) % 360, 120, 120));
    painter.fillRect(image.rect(), sky);
    // A calf-like shape: a dark body with white patches.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(30, 30, 30));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(width * 0.2, height * 0.35, width * 0.55, height * 0.35));
    painter.drawEllipse(QRectF(width * 0.68, height * 0.25, width * 0.17, height * 0.2));
    painter.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i)
        painter.drawEllipse(QRectF(width * (0.25 + 0.1 * ((variant + i) % 4)), height * (0.4 + 0.06 * (i % 2)),
                                   width * 0.09, height * 0.1));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

bool generateData(const QString& address, const GeneratorOptions& options, QString* error) {
    Connection connection;
    if (!connection.open(address)) return fail(error, connection.technicalError());
    QSqlDatabase db = connection.database();
    QRandomGenerator rng(options.seed);

    QVector<Herd> herds;
    for (int h = 0; h < std::max(1, options.herds); ++h) {
        herds.push_back({QString::number(10000 + int(rng.bounded(89999))), int(rng.bounded(int(kProvinces.size()))),
                         pick(rng, kFarmWords) + u' ' + pick(rng, kFarmNames) + u' ' + QString::number(h + 1),
                         pick(rng, kCounties)});
    }
    QStringList bulls;  // catalogue codes, reused as the sires and the inseminating sperm
    for (int b = 0; b < std::max(1, options.bulls); ++b) bulls << QStringLiteral("%1").arg(200 + b, 4, 10, QChar(u'0'));

    QStringList foreignNumbers, domesticNumbers;  // each bull's RegNo_SPF and RegNo_Sp, for its calves
    QVector<QByteArray> photos;
    if (options.photos)
        for (int v = 0; v < 6; ++v) photos << makePhoto(options.photoWidth, options.photoHeight, v);

    const SqlDialect& d = connection.dialect();
    // A file made here is thrown away if the run is cut short, so it need not wait for the
    // disk nor keep a journal on it; it goes back to the program's journal at the end.
    if (!d.isServer() && (!run(db, QStringLiteral("PRAGMA synchronous=OFF"), error) ||
                          !run(db, QStringLiteral("PRAGMA journal_mode=MEMORY"), error) ||
                          !run(db, QStringLiteral("PRAGMA cache_size=-262144"), error)))
        return false;
    if (!db.transaction()) return fail(error, db.lastError().text());
    auto rollback = [&](const QString& why) {
        db.rollback();
        return fail(error, why);
    };
    QString why;
    // An empty record table is filled without its indexes, which are then made in one sorted
    // pass each instead of growing one row at a time.
    QList<std::pair<QString, QString>> indexes;
    {
        QSqlQuery any(db);
        if (!any.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(d.quote(schema::kRecordTable))))
            return rollback(any.lastError().text());
        if (!any.next()) indexes = recordIndexes(db);
    }
    for (const auto& index : std::as_const(indexes))
        if (!run(db, QStringLiteral("DROP INDEX ") + d.quote(index.first), &why)) return rollback(why);
    // The records stand for an office's records from before the history was kept: they get none.
    for (const QString& sql : history::suspendStatements(d))
        if (!run(db, sql, &why)) return rollback(why);

    // The catalogue.
    {
        QStringList names;
        for (const char* column : schema::kCatalogueColumns) names << d.quote(column);
        BatchInsert insert(db, d.quote(schema::kCatalogueTable), names, 200);
        for (int b = 0; b < bulls.size(); ++b) {
            const QString name = pick(rng, kBullNames) + u'-' + QString::number(b);
            QVariantList values = {
                name, bulls[b], QStringLiteral("HO840") + digits(rng, 9), digits(rng, 8), pick(rng, kBullNames),
                QStringLiteral("HO840") + digits(rng, 9), digits(rng, 8), digits(rng, 8), pick(rng, kBullNames),
                QStringLiteral("HOCAN") + digits(rng, 8), digits(rng, 8), digits(rng, 8), pick(rng, kBullNames),
                QStringLiteral("HOUSA") + digits(rng, 8), digits(rng, 8), digits(rng, 8),
                QStringLiteral("GP-") + digits(rng, 2), QString::number(5 + rng.bounded(8)),
                QString::number(70 + rng.bounded(30)), QString::number(int(rng.bounded(2000)) - 500),
                QString::number(9000 + rng.bounded(4000)), QString::number(int(rng.bounded(80)) - 20),
                QStringLiteral("0.%1").arg(rng.bounded(10)), QStringLiteral("1.%1").arg(rng.bounded(99)),
                QString::number(2005 + rng.bounded(15)), QStringLiteral("3.%1").arg(rng.bounded(99)),
                QString::number(300 + rng.bounded(200)), QString::number(9000 + rng.bounded(6000)),
                QString::number(1 + rng.bounded(6)), QStringLiteral("Breeder ") + QString::number(rng.bounded(90)),
                QString::number(rng.bounded(1000))};
            // Bulls descend from bulls written before them, so pedigrees run through the catalogue.
            foreignNumbers << values[2].toString();
            domesticNumbers << values[3].toString();
            if (b > 0) values[5] = foreignNumbers[int((quint64(b) * 2654435761u) % quint64(b))];
            if (!insert.add(values, &why)) return rollback(why);
        }
        if (!insert.flush(&why)) return rollback(why);
    }

    // The records, listed columns then the photos ("ID" is given by the table).
    QStringList names;
    for (int i = 0; i < schema::kListedColumnCount; ++i) names << d.quote(schema::kRecordColumns[i]);
    if (options.photos)
        for (const char* column : schema::kPhotoColumns) names << d.quote(column);
    // Photos make rows large: fewer of them to a statement.
    BatchInsert insert(db, d.quote(schema::kRecordTable), names, options.photos ? 20 : 200);
    QVariantList v(names.size());
    for (int r = 0; r < options.records; ++r) {
        // Herd sizes vary: a few large herds hold many of the records.
        const int herdIndex = int(rng.bounded(2)) ? int(rng.bounded(std::min(20, int(herds.size()))))
                                                  : int(rng.bounded(int(herds.size())));
        const Herd& herd = herds[herdIndex];
        const int year = 1385 + int(rng.bounded(19));
        const int month = 1 + int(rng.bounded(12));
        const int day = 1 + int(rng.bounded(29));
        const int inseminations = 1 + int(rng.bounded(3));
        const QString body = QString::number(1000 + rng.bounded(9000));
        const int sireIndex = int(rng.bounded(int(bulls.size())));
        const QString sire = bulls[sireIndex];

        v[0] = QString::number(98000000 + r);
        v[1] = QString::number(herd.province + 1);
        v[2] = kProvinces[herd.province];
        v[3] = herd.code;
        v[4] = herd.farm;
        v[5] = herd.county;
        v[6] = body;
        v[7] = digits(rng, 6);
        v[8] = digits(rng, 4);
        v[9] = solarDate(year, month, day);
        v[10] = pick(rng, kCalfNames);
        v[11] = QStringLiteral("IR") + digits(rng, 8);
        v[12] = QStringLiteral("HF%1").arg(digits(rng, 6));
        v[13] = rng.bounded(20) == 0 ? kBirthKinds[1] : kBirthKinds[0];
        v[14] = pick(rng, kSexes);
        v[15] = QString::number(32 + rng.bounded(14));
        v[16] = pick(rng, kBullNames);
        v[17] = domesticNumbers.value(sireIndex, sire);
        v[18] = QStringLiteral("HO840") + digits(rng, 9);
        v[18] = foreignNumbers.value(sireIndex, v[18].toString());
        v[19] = QStringLiteral("HF%1").arg(digits(rng, 6));
        v[20] = QString::number(1000 + rng.bounded(9000));
        v[21] = digits(rng, 6);
        v[22] = digits(rng, 4);
        // The dam is an earlier record of the store, so dams' lines run back many generations.
        const quint32 dam = rng.bounded(1000000);
        v[23] = QString::number(r > 0 ? 98000000 + int(dam % quint32(r)) : 97000000 + int(dam));
        v[24] = pick(rng, kCalfNames);
        v[25] = QStringLiteral("IR") + digits(rng, 8);
        v[26] = QString::number(1 + rng.bounded(6));
        v[27] = QStringLiteral("HF%1").arg(digits(rng, 6));
        const bool surrogate = rng.bounded(10) == 0;
        for (int c = 28; c <= 33; ++c) v[c] = QString();
        if (surrogate) {
            v[28] = QString::number(1000 + rng.bounded(9000));
            v[29] = digits(rng, 6);
            v[30] = digits(rng, 4);
            v[31] = QString::number(97000000 + rng.bounded(1000000));
            v[32] = pick(rng, kCalfNames);
            v[33] = QStringLiteral("IR") + digits(rng, 8);
        }
        // Inseminations in the year before birth, the last one successful.
        const int conceptionYear = year - 1;
        for (int k = 0; k < 3; ++k) {
            const bool done = k < inseminations;
            v[34 + 3 * k] = done ? (k == inseminations - 1 ? sire : bulls[int(rng.bounded(int(bulls.size())))]) : QString();
            v[35 + 3 * k] = done ? pick(rng, kInseminations) : QString();
            v[36 + 3 * k] = done ? solarDate(conceptionYear, std::min(12, 1 + k), 1 + int(rng.bounded(29))) : QString();
        }
        v[43] = v[36 + 3 * (inseminations - 1)];
        v[44] = v[35 + 3 * (inseminations - 1)];
        v[45] = QString::number(inseminations);
        v[46] = pick(rng, kCalvings);
        v[47] = QString::number(1 + rng.bounded(5));
        v[48] = pick(rng, kColours);
        v[49] = rng.bounded(3) == 0 ? QString() : solarDate(std::min(1403, year + 1), month, day);
        v[50] = v[44];
        if (options.photos)
            for (int k = 0; k < 3; ++k) v[schema::kListedColumnCount + k] = photos[(r + k) % photos.size()];
        if (!insert.add(v, &why)) return rollback(why);
    }
    if (!insert.flush(&why)) return rollback(why);
    for (const auto& index : std::as_const(indexes))
        if (!run(db, index.second, &why)) return rollback(why);
    for (const QString& sql : history::resumeStatements(d))
        if (!run(db, sql, &why)) return rollback(why);
    if (!db.commit()) return fail(error, db.lastError().text());
    // Set as an office sets them, so that certificates of the made-up records print officially.
    const QHash<QString, QString> office = {
        {QString::fromLatin1(certificates::kMinistryLine), QStringLiteral("وزارت جهاد كشاورزي")},
        {QString::fromLatin1(certificates::kCentreLine), QStringLiteral("مركز اصلاح نژاد و بهبود توليدات دامي")},
        {QString::fromLatin1(certificates::kUnionLine), QStringLiteral("صدور شناسنامه توسط اتحاديه دامداران نمونه")},
        {QString::fromLatin1(certificates::kRegistryLine), QStringLiteral("ثبت مشخصات و دفتر انساب مركز اصلاح نژاد دام")},
        {QString::fromLatin1(certificates::kOfficeName), QStringLiteral("دفتر نمونه")},
    };
    if (!certificates::writeOfficeTexts(db, office, &why)) return fail(error, why);
    // A server that has been running has vacuumed and analysed its tables: the indexes then
    // answer for the rows without reading them from the table. A fresh load has done neither.
    if (d.isServer()) return run(db, QStringLiteral("VACUUM ANALYZE ") + d.quote(schema::kRecordTable), error);
    return run(db, QStringLiteral("PRAGMA journal_mode=WAL"), error);
}

}  // namespace zartav::bench
