// The password hash: MD5 over one byte per UTF-16 unit, "?" for every unit from
// 128 up, as 32 lower-case hexadecimal digits.

#include <QTest>

#include "data/PasswordHash.h"

class TestPasswordHash : public QObject
{
    Q_OBJECT

private slots:
    void hash_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("hash");
        QTest::newRow("empty") << "" << "d41d8cd98f00b204e9800998ecf8427e";
        QTest::newRow("the demo password") << "sorventa" << "9094d4623a7552bbeab2a9d86111f2d3";
        QTest::newRow("case matters") << "Sorventa" << "731c1ecc40d6fac31a53d9ddef322c1f";
        QTest::newRow("blanks are part of it") << " sorventa " << "f0c87b8aa5e3aacdd3ec29fb3edd3647";
    }

    void hash()
    {
        QFETCH(QString, password);
        QFETCH(QString, hash);
        QCOMPARE(sor::passwordHash(password), hash);
    }

    // Units from 128 up all count as "?": such passwords hash alike.
    void wideCharactersCountAsQuestionMarks_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sameAs");
        QTest::newRow("Cyrillic") << "пароль" << "??????";
        QTest::newRow("mixed") << "Ёж 1" << "?? 1";
        QTest::newRow("Latin-1 letter") << "café" << "caf?";
        QTest::newRow("outside the BMP: two units") << "a😀" << "a??";
    }

    void wideCharactersCountAsQuestionMarks()
    {
        QFETCH(QString, password);
        QFETCH(QString, sameAs);
        QCOMPARE(sor::passwordHash(password), sor::passwordHash(sameAs));
    }
};

QTEST_GUILESS_MAIN(TestPasswordHash)
#include "tst_passwordhash.moc"
