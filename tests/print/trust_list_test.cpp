// Trust lists: what an office exports, what a checker with no store makes of a code with them.
#include "fixtures.h"
#include "cli_run.h"

#include "print/trust_list.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace zartav;
using namespace zartav::print;

// Every vector of the fixtures, through zartav-cli as an offline checker runs it.
TEST(TrustListVectors, VerifyGivesEachVectorsVerdict) {
    const QJsonArray vectors = QJsonDocument::fromJson(test::fixtureBytes(QStringLiteral("verify/vectors.json")))
                                   .object()
                                   .value(QStringLiteral("vectors"))
                                   .toArray();
    ASSERT_GE(vectors.size(), 10);
    const QHash<QString, QString> says{{"genuine", "genuine"},      {"withdrawn", "superseded"}, {"unknown-key", "does not know"},
                                       {"forged", "forged"},        {"unsigned", "unsigned"},    {"no-code", "no readable code"},
                                       {"list-refused", ""}};
    for (const QJsonValue& value : vectors) {
        const QJsonObject v = value.toObject();
        const std::string what = v.value("what").toString().toStdString();
        QStringList args{"verify"};
        for (const QJsonValue& list : v.value("trust").toArray())
            args << QStringLiteral("--trust") << test::fixturePath(QStringLiteral("verify/") + list.toString());
        args << QStringLiteral("--text") << v.value("code").toString();
        const test::CliRun r = test::runCli(args);
        EXPECT_EQ(r.status, v.value("status").toInt()) << what << "\n" << r.out.toStdString() << r.err.toStdString();
        ASSERT_TRUE(says.contains(v.value("verdict").toString())) << what;
        const QString verdictLine = r.out.mid(r.out.indexOf(QStringLiteral("verdict: "))).section(QLatin1Char('\n'), 0, 0);
        EXPECT_TRUE(verdictLine.contains(says.value(v.value("verdict").toString()))) << what << "\n" << r.out.toStdString();
    }
}

// Any byte of a list changed refuses the whole list, the outer file's fields included.
TEST(TrustListVectors, AListChangedAnywhereIsRefused) {
    const QByteArray file = test::fixtureBytes(QStringLiteral("verify/office-a.trust.json"));
    QString error;
    const std::optional<TrustList> list = readTrustList(file, &error);
    ASSERT_TRUE(list) << error.toStdString();
    EXPECT_EQ(list->keys.size(), 1);
    ASSERT_EQ(list->closed.size(), 1);
    EXPECT_EQ(list->closed[0].number, 1);
    EXPECT_EQ(list->closed[0].supersededBy, 3);
    const QJsonObject outer = QJsonDocument::fromJson(file).object();
    auto with = [&](const char* field, const QByteArray& value) {
        QJsonObject o = outer;
        o[QLatin1String(field)] = QString::fromLatin1(value);
        return QJsonDocument(o).toJson();
    };
    QByteArray payload = QByteArray::fromBase64(outer.value("payload").toString().toLatin1());
    payload.replace("\"supersededBy\":3", "\"supersededBy\":4");
    const std::pair<const char*, QByteArray> cases[] = {
        {"a number in the payload", with("payload", payload.toBase64())},
        {"another key named as the signer", with("key", QByteArray(32, 'k').toBase64())},
        {"no signature", with("signature", "")},
        {"another format", with("format", "zartav-trust-list-9")},
        {"not JSON", file.left(file.size() / 2)},
        {"empty", ""},
    };
    for (const auto& [what, bytes] : cases) EXPECT_FALSE(readTrustList(bytes, &error)) << what;
}
