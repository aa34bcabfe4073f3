#include "util/system_report.h"

#include "util/format_patterns.h"

#include <QFile>
#include <QHash>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLocale>
#include <QScreen>
#include <QSysInfo>
#include <QVersionNumber>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/statvfs.h>
#endif

namespace zartav::system_report {
namespace {

const QString kKb = QStringLiteral("  كيلو بايت  ");

// MemTotal and MemAvailable from /proc/meminfo, in kB; zeros where there is no such file.
std::pair<quint64, quint64> linuxMemory() {
    QFile file(QStringLiteral("/proc/meminfo"));
    quint64 total = 0;
    quint64 available = 0;
    if (!file.open(QIODevice::ReadOnly)) return {0, 0};
    // /proc files report no size, so read until the end rather than asking atEnd().
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) continue;
        if (parts[0] == "MemTotal:") total = parts[1].toULongLong();
        else if (parts[0] == "MemAvailable:") available = parts[1].toULongLong();
    }
    return {total, available};
}

// One name per layout, as many as the report lists.
void addLanguage(QStringList& names, const QString& name) {
    if (names.size() < 16) names.append(name.left(250));
}

void addLanguage(QStringList& names, QLocale::Language language) {
    // The "C" locale is the untranslated, English one.
    addLanguage(names, QLocale::languageToString(language == QLocale::C ? QLocale::English : language));
}

// The system's keyboard layouts; without that list, the language the input method types in.
QStringList keyboardLanguages() {
    QStringList names;
    QFile file(QStringLiteral("/etc/default/keyboard"));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith("XKBLAYOUT=")) names = languagesOfLayouts(QString::fromLatin1(line.mid(10)));
    }
    if (names.isEmpty()) {
        QLocale input = QLocale::system();
        if (QGuiApplication::inputMethod()) input = QGuiApplication::inputMethod()->locale();
        addLanguage(names, input.language());
    }
    return names;
}

}  // namespace

QStringList languagesOfLayouts(const QString& xkbLayouts) {
    QStringList names;
    QString codes = xkbLayouts.trimmed();
    codes.remove(QLatin1Char('"'));
    for (const QString& raw : codes.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString code = raw.trimmed();
        // Layout codes are mostly language codes ("de", "fr", "ru"), some country codes with
        // a language of their own ("ir", "us") and a few of three letters ("ara").
        static const QHash<QString, QLocale::Language> countryLayouts{
            {QStringLiteral("us"), QLocale::English}, {QStringLiteral("gb"), QLocale::English},
            {QStringLiteral("ir"), QLocale::Persian}, {QStringLiteral("af"), QLocale::Persian},
            {QStringLiteral("ara"), QLocale::Arabic}, {QStringLiteral("iq"), QLocale::Arabic},
            {QStringLiteral("sy"), QLocale::Arabic},  {QStringLiteral("se"), QLocale::Swedish},
            {QStringLiteral("dk"), QLocale::Danish},  {QStringLiteral("jp"), QLocale::Japanese},
            {QStringLiteral("cn"), QLocale::Chinese}, {QStringLiteral("kr"), QLocale::Korean},
            {QStringLiteral("ua"), QLocale::Ukrainian}, {QStringLiteral("gr"), QLocale::Greek},
            {QStringLiteral("il"), QLocale::Hebrew},  {QStringLiteral("pk"), QLocale::Urdu},
            {QStringLiteral("br"), QLocale::Portuguese}, {QStringLiteral("latam"), QLocale::Spanish},
        };
        if (const auto it = countryLayouts.constFind(code.toLower()); it != countryLayouts.constEnd())
            addLanguage(names, *it);
        else if (const QLocale::Language l = QLocale::codeToLanguage(code.toLower()); l != QLocale::AnyLanguage)
            addLanguage(names, l);
        else
            addLanguage(names, code);
    }
    return names;
}

Facts collectFacts() {
    Facts f;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        f.screenHeight = screen->geometry().height();
        f.screenWidth = screen->geometry().width();
    }
    const QVersionNumber kernel = QVersionNumber::fromString(QSysInfo::kernelVersion());
    f.majorVersion = static_cast<quint32>(std::max(0, kernel.majorVersion()));
    f.minorVersion = static_cast<quint32>(std::max(0, kernel.minorVersion()));
    f.buildNumber = static_cast<quint32>(std::max(0, kernel.microVersion()));
    f.platformId = QSysInfo::kernelType();

#ifdef Q_OS_UNIX
    // The file-system id of the root volume is what stands for a volume serial here.
    struct statvfs vfs {};
    if (statvfs("/", &vfs) == 0) f.volumeSerial = static_cast<quint32>(vfs.f_fsid);
#endif

    f.keyboardLanguages = keyboardLanguages();
    f.computerName = QSysInfo::machineHostName();
    const auto [total, available] = linuxMemory();
    f.totalPhysicalKb = total;
    if (total > 0) f.memoryLoadPercent = static_cast<quint32>((total - std::min(total, available)) * 100 / total);

#ifdef Q_OS_UNIX
    // The address space a process may use: its limit when one is set, else the user half of a
    // 48-bit address space (a 32-bit build gets 3 GB).
    struct rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        f.totalVirtualKb = static_cast<quint64>(limit.rlim_cur) / 1024;
    else
        f.totalVirtualKb = sizeof(void*) == 8 ? (quint64{1} << 47) / 1024 : quint64{3} << 20;
#endif
    return f;
}

QList<BoardPost> reportPosts(const Facts& f, const QString& farsiToday) {
    QList<BoardPost> posts{
        {QStringLiteral("گزارش سيستم"), farsiToday},
        {QStringLiteral("ارتفاع صفحه نمايش"), QString::number(f.screenHeight)},
        {QStringLiteral("عرض صفحه نمايش"), QString::number(f.screenWidth)},
        {QStringLiteral("Windows Major Version"), QString::number(f.majorVersion)},
        {QStringLiteral("Windows Minor Version"), QString::number(f.minorVersion)},
        {QStringLiteral("Windows Beuild Number"), QString::number(f.buildNumber)},
        {QStringLiteral("Windows Platform ID"), f.platformId},
        {QStringLiteral("HDD Serial"),
         f.volumeSerial ? QString::number(*f.volumeSerial) : QStringLiteral("Not Detect")},
    };
    for (const QString& language : f.keyboardLanguages.mid(0, 16))
        posts.append({QStringLiteral("زبان"), language.left(250)});
    const FormatPatterns& p = formatPatterns();
    posts.append({
        {QStringLiteral("Computer Name"), f.computerName},
        {QStringLiteral("درصد حافظه در حال استفاده"), QString::number(f.memoryLoadPercent)},
        {QStringLiteral("حافظه اصلي سيستم"), QString::number(f.totalPhysicalKb) + kKb},
        {QStringLiteral("برنامه فعلي در حال اجرا"), QString::number(f.totalVirtualKb) + kKb},
        {QStringLiteral("فرمت تاريخ كوتاه"), p.shortDate},
        {QStringLiteral("فرمت تاريخ بلند"), p.longDate},
        {QStringLiteral("فرمت ساعت كوتاه"), p.shortTime},
        {QStringLiteral("فرمت ساعت بلند"), p.longTime},
    });
    return posts;
}

}  // namespace zartav::system_report
