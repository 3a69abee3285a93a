// The e-mail rule: the cases players type, then a differential fuzz run against
// the same rule written as a grammar.

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include "accounts/LoginProcedure.h"

namespace {

// The rule as a grammar: dot-separated words (atoms or quoted words with
// backslash escapes), "@", two or more labels of letters, digits and inner
// hyphens, each starting with a letter.
const QRegularExpression& grammar()
{
    static const QString atom = QStringLiteral("[!#-'*+\\-0-9=?A-Z^-~\\x{80}-\\x{FF}]");
    static const QString quoted = QStringLiteral("\"(?:\\\\[\\s\\S]|[^\"\\\\\\r\\x{100}-\\x{FFFF}])*\"");
    static const QString word = QStringLiteral("(?:%1+|%2)").arg(atom, quoted);
    static const QString label = QStringLiteral("[A-Za-z](?:[A-Za-z0-9]|-+[A-Za-z0-9])*");
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("%1(?:\\.%1)*@%2(?:\\.%2)+").arg(word, label)));
    return re;
}

}  // namespace

class TestValidEmail : public QObject
{
    Q_OBJECT

private slots:
    void grammarIsSound() { QVERIFY2(grammar().isValid(), qPrintable(grammar().errorString())); }

    void cases_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<bool>("valid");
        // accepted
        QTest::newRow("plain") << "demo@tavrek.example" << true;
        QTest::newRow("capitals") << "Demo.Player@Tavrek.Example" << true;
        QTest::newRow("one-letter last label") << "a@b.c" << true;
        QTest::newRow("two hyphens inside a label") << "a@b--c.de" << true;
        QTest::newRow("digits after the first letter") << "a@b1.c2" << true;
        QTest::newRow("quoted, with spaces and an at sign") << "\"john smith@home\"@mail.ru" << true;
        QTest::newRow("quoted words between dots") << "\"a\".b.\"c\"@d.ef" << true;
        QTest::newRow("escaped quote inside quotes") << "\"a\\\"b\"@c.de" << true;
        QTest::newRow("Cyrillic after a backslash") << QString::fromUtf8("\"\\п\"@b.ru") << true;
        QTest::newRow("carriage return after a backslash") << "\"a\\\rb\"@c.de" << true;
        QTest::newRow("line feed inside quotes") << "\"a\nb\"@c.de" << true;
        QTest::newRow("Latin-1 letter in an atom") << QString::fromUtf8("jos\u00e9@b.es") << true;
        QTest::newRow("atom punctuation") << "!#$%&'*+-/=?^_`{|}~@b.cd" << false;  // "/" is not an atom character
        QTest::newRow("atom punctuation without slash") << "!#$%&'*+-=?^_`{|}~@b.cd" << true;
        // rejected
        QTest::newRow("empty") << "" << false;
        QTest::newRow("no at sign") << "demo.tavrek.example" << false;
        QTest::newRow("single domain label") << "a@localhost" << false;
        QTest::newRow("label starts with a digit") << "a@1b.cd" << false;
        QTest::newRow("last label starts with a digit") << "a@b.1c" << false;
        QTest::newRow("label starts with a hyphen") << "a@-b.cd" << false;
        QTest::newRow("label ends with a hyphen") << "a@b-.cd" << false;
        QTest::newRow("domain ends with a hyphen") << "a@b.cd-" << false;
        QTest::newRow("domain ends with a dot") << "a@b.cd." << false;
        QTest::newRow("two dots in the domain") << "a@b..cd" << false;
        QTest::newRow("two dots in the local part") << "a..b@c.de" << false;
        QTest::newRow("dot at the start") << ".a@b.cd" << false;
        QTest::newRow("dot at the end of the local part") << "a.@b.cd" << false;
        QTest::newRow("Cyrillic in the local part") << QString::fromUtf8("пётр@b.ru") << false;
        QTest::newRow("Cyrillic in the domain") << QString::fromUtf8("a@почта.ru") << false;
        QTest::newRow("Cyrillic inside quotes") << QString::fromUtf8("\"п\"@b.ru") << false;
        QTest::newRow("two at signs") << "a@b@c.de" << false;
        QTest::newRow("quote after an atom") << "a\"b\"@c.de" << false;
        QTest::newRow("atom after a closing quote") << "\"a\"b@c.de" << false;
        QTest::newRow("unterminated quote") << "\"a@b.cd" << false;
        QTest::newRow("carriage return inside quotes") << "\"a\rb\"@c.de" << false;
        QTest::newRow("space in an atom") << "a b@c.de" << false;
        QTest::newRow("blank around (callers trim)") << " a@b.cd" << false;
        QTest::newRow("DEL") << "a\x7f@b.cd" << false;
        QTest::newRow("underscore in the domain") << "a@b_c.de" << false;
        QTest::newRow("Latin-1 letter in the domain") << QString::fromUtf8("a@jos\u00e9.es") << false;
    }

    void cases()
    {
        QFETCH(QString, email);
        QFETCH(bool, valid);
        QCOMPARE(sor::ValidEmail(email), valid);
        QCOMPARE(grammar().match(email).hasMatch(), valid);  // the oracle agrees with the table
    }

    // Random texts built from the pieces that matter, so that many are valid and
    // many are near misses: the state machine must agree with the grammar on each.
    void agreesWithTheGrammarOnRandomText()
    {
        // Local parts, domains, and anything at all spliced in.
        const QStringList local = {"a", "Zq", "0", "-", ".", "\"", "\"q r\"", "\"@\"", "\\", "_", "é", "ÿ", "!"};
        const QStringList domain = {"a", "bc", "x7", "-", "--", ".", "d.ef", "9", "Q"};
        const QStringList any = {
            "@", "\"", "\\", " ", "\r", "\n", QString(QChar(0)), QString::fromUtf8("п"), QString(QChar(0x7f)),
            QString(QChar(0x100)), "(", "/", "_", ".", "-",
        };
        const quint32 seed = 20240611;
        QRandomGenerator rng(seed);
        int accepted = 0;
        for (int i = 0; i < 200000; ++i) {
            QString text;
            for (int k = 1 + rng.bounded(3); k > 0; --k)
                text += local.at(rng.bounded(int(local.size())));
            if (rng.bounded(10) != 0)
                text += QLatin1Char('@');
            for (int k = 1 + rng.bounded(5); k > 0; --k)
                text += domain.at(rng.bounded(int(domain.size())));
            if (rng.bounded(3) == 0)
                text.insert(rng.bounded(int(text.size()) + 1), any.at(rng.bounded(int(any.size()))));
            const bool mine = sor::ValidEmail(text);
            if (mine != grammar().match(text).hasMatch())
                QFAIL(qPrintable(QStringLiteral("disagreement on \"%1\" (seed %2, draw %3)")
                                     .arg(text.toHtmlEscaped())
                                     .arg(seed)
                                     .arg(i)));
            accepted += mine;
        }
        QVERIFY2(accepted > 1000, "the fuzz run hardly reached valid addresses");
    }

    // Any UTF-16 at all, lone surrogates included, and very long texts: an answer,
    // no crash, no hang.
    void anyTextGetsAnAnswer()
    {
        QRandomGenerator rng(7);
        for (int i = 0; i < 20000; ++i) {
            QString text(rng.bounded(40), Qt::Uninitialized);
            for (QChar& c : text)
                c = QChar(char16_t(rng.bounded(0x10000)));
            sor::ValidEmail(text);
        }
        const QString longLocal = QString(1000000, QLatin1Char('a')) + QStringLiteral("@b.cd");
        QVERIFY(sor::ValidEmail(longLocal));
        QString longQuoted = QStringLiteral("\"") + QString(1000000, QLatin1Char('\\')) + QStringLiteral("\"@b.cd");
        QVERIFY(sor::ValidEmail(longQuoted));  // an even run of escapes
    }
};

QTEST_APPLESS_MAIN(TestValidEmail)
#include "tst_validemail.moc"
