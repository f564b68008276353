// The program's own number and date formats (Utils' formatting defaults).
#include "Utils.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdlib>
#include <string>

class TestUtilsFormat : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_numericLocale; // as the tests found it
    QLocale m_defaultLocale;

    // Selects for LC_NUMERIC a locale with a decimal comma and grouping dots:
    // on Linux one compiled into the fixture folder (once), on Windows the
    // system's German one.
    bool useCommaLocale()
    {
#ifdef Q_OS_WIN
        if (!std::setlocale(LC_NUMERIC, "de-DE") && !std::setlocale(LC_NUMERIC, "German_Germany.1252"))
            return false;
#else
        const QString dir = m_dir.filePath("locales");
        if (!QFile::exists(dir + "/comma/LC_NUMERIC")) {
            QDir().mkpath(dir);
            QFile src(dir + "/comma.src");
            if (!src.open(QIODevice::WriteOnly))
                return false;
            src.write("LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n");
            src.close();
            // Exit status 1 only reports the categories left undefined.
            QProcess::execute("localedef", {"-c", "-i", src.fileName(), "-f", "ANSI_X3.4-1968", dir + "/comma"});
        }
        qputenv("LOCPATH", QFile::encodeName(dir));
        const bool ok = std::setlocale(LC_NUMERIC, "comma") != nullptr;
        qunsetenv("LOCPATH");
        if (!ok)
            return false;
#endif
        return std::localeconv()->decimal_point == std::string(",");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_numericLocale = std::setlocale(LC_NUMERIC, nullptr);
    }
    // A failing row leaves the number-format locale as the next row expects it.
    void cleanup()
    {
        std::setlocale(LC_NUMERIC, m_numericLocale.c_str());
        QLocale::setDefault(m_defaultLocale);
    }

    void formatDefaults()
    {
        // The regional settings are never consulted.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        InitFormatSettings();
        const QDateTime t(QDate(2010, 3, 7), QTime(9, 5, 4));
        QCOMPARE(DateToStr(t.date()), QString("07-03-2010"));
        QCOMPARE(DateTimeToStr(t), QString("07-03-2010 09:05:04"));
        QCOMPARE(FormatNumber(-1234.5, 1), QString("-1 234,5"));
    }

    void formatNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<bool>("group");
        QTest::addColumn<QString>("text");
        QTest::newRow("grouped") << 1234567.891 << 2 << true << "1 234 567,89";
        QTest::newRow("ungrouped") << 1234567.891 << 2 << false << "1234567,89";
        QTest::newRow("no decimals") << 999.5 << 0 << true << "1 000";
        QTest::newRow("three digits") << 123.0 << 1 << true << "123,0";
        QTest::newRow("negative") << -55000.25 << 1 << true << "-55 000,2";
        QTest::newRow("negative zero") << -0.001 << 2 << true << "0,00";
        QTest::newRow("free space") << 0.95367431640625 << 3 << true << "0,954";
        // no fixed-point text fits: the short form, never a cut-off number
        QTest::newRow("beyond fixed point") << 1e300 << 2 << true << "1,0000000000000000525e+300";
        QTest::newRow("infinite") << qInf() << 2 << true << "inf";
    }
    void formatNumber()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(bool, group);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(value, decimals, group), text);
    }

    // The user's numeric locale (a decimal comma with grouping dots here)
    // must not leak into the program's own number format.
    void formatNumberUnderHostLocale_data() { formatNumber_data(); }
    void formatNumberUnderHostLocale()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(bool, group);
        QFETCH(QString, text);
        QVERIFY2(useCommaLocale(), "cannot make or select the decimal-comma locale");
        QCOMPARE(FormatNumber(value, decimals, group), text);
    }

    void formatDateTime_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::newRow("slash is date separator") << "d/m/yy" << "7-3-10";
        QTest::newRow("mm after hh is minutes") << "hh:mm" << "09:05";
        QTest::newRow("mm after date is month") << "mm hh" << "03 09";
        QTest::newRow("n minutes, z msec") << "h:n:s.zzz" << "9:5:4.012";
        QTest::newRow("quoted text") << "'dnia' dd \"m\"" << "dnia 07 m";
        QTest::newRow("upper case") << "DD-MM-YYYY" << "07-03-2010";
        QTest::newRow("other letters") << "dd x" << "07 x";
    }
    void formatDateTime()
    {
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(FormatDateTime(format, QDateTime(QDate(2010, 3, 7), QTime(9, 5, 4, 12))), text);
    }
};

QTEST_GUILESS_MAIN(TestUtilsFormat)
#include "tst_UtilsFormat.moc"
