#include "jetfixture.h"
#include "library/jetreaderprotocol.h"
#include "programfolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// The reader alone, on Access files it must read exactly or refuse for the
// true reason.
class TestJetReader : public QObject
{
    Q_OBJECT

private slots:
    void everyCodePageArrivesAsStored_data();
    void everyCodePageArrivesAsStored();
    void fileNotWholeIsDamaged_data();
    void fileNotWholeIsDamaged();
};

namespace {

struct Answer
{
    int exit = -1;
    QString line;
};

// Runs the reader on `access` into a new, empty dbStory.mdb in the folder.
Answer read(const ProgramFolder& folder, const QString& access)
{
    QFile library(folder.libraryPath());
    if (!library.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    library.close();
    QProcess reader;
    reader.start(JetFixture::reader(), {access, folder.libraryPath()});
    if (!reader.waitForFinished(60000) || reader.exitStatus() != QProcess::NormalExit)
        return {};
    return {reader.exitCode(), QString::fromUtf8(reader.readAllStandardOutput()).trimmed()};
}

} // namespace

void TestJetReader::everyCodePageArrivesAsStored_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QStringList>("stories");
    QTest::addColumn<bool>("memo");
    QTest::addColumn<int>("exit");
    // Each page's stories end in a letter and, where its script has them, in a
    // mark after a letter and in a mark alone. A long text of two-byte
    // characters crosses the pages of a long memo at an odd and at an even byte.
    const auto longText = [](const QString& c) { return c.repeated(1500); };
    const struct
    {
        int codePage;
        QStringList stories;
        QString twoByte;
    } pages[] = {
        {874, {u"ก"_s, u"ทดสอบ กิ"_s, u"\u0E34"_s}, {}},
        {932, {u"あ"_s, u"日本語のテキスト ｱｲｳ"_s}, u"日"_s},
        {936, {u"中"_s, u"中文文本"_s}, u"中"_s},
        {949, {u"한"_s, u"한국어 텍스트"_s}, u"한"_s},
        {950, {u"中"_s, u"繁體中文"_s}, u"體"_s},
        {1250, {u"ł"_s, u"Zażółć gęślą jaźń"_s}, {}},
        {1251, {u"ж"_s, u"Съешь же ещё"_s}, {}},
        {1252, {u"é"_s, u"Café “quotes” €"_s}, {}},
        {1253, {u"Ω"_s, u"Καλημέρα"_s}, {}},
        {1254, {u"ş"_s, u"Günaydın"_s}, {}},
        {1255, {u"ש"_s, u"\u05D5\u05B9"_s, u"שָׁלוֹם"_s, u"\u05B9"_s}, {}},
        {1256, {u"ع"_s, u"مرحبا"_s}, {}},
        {1257, {u"ž"_s, u"Labas rytas ąčęėįšųūž"_s}, {}},
        {1258, {u"ơ"_s, u"Ti\u00EAng Vi\u00EA\u0323t"_s, u"a\u0301"_s, u"\u0301"_s}, {}},
    };
    for (const auto& page : pages) {
        QStringList memos = page.stories;
        if (!page.twoByte.isEmpty())
            memos << longText(page.twoByte) << u'a' + longText(page.twoByte);
        QTest::addRow("%d memo", page.codePage) << page.codePage << memos << true << 0;
        QTest::addRow("%d Text", page.codePage) << page.codePage << page.stories << false << 0;
    }
    QTest::newRow("a code page the system lacks, refused by its number")
        << 1 << QStringList{u"a"_s} << true << int(JetReader::UnknownCodePage);
}

void TestJetReader::everyCodePageArrivesAsStored()
{
    QFETCH(int, codePage);
    QFETCH(QStringList, stories);
    QFETCH(bool, memo);
    QFETCH(int, exit);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    QJsonArray rows;
    for (qsizetype i = 0; i < stories.size(); ++i)
        rows.append(QJsonArray{i + 1, stories[i]});
    folder.writeFile(QStringLiteral("rows.json"), QJsonDocument(rows).toJson());
    QStringList options{"--jet3", "--code-page", QString::number(codePage), "--inline-max", "0"};
    if (!memo)
        options << QStringLiteral("--text-column");
    const QString access = folder.filePath(QStringLiteral("access.mdb"));
    JetFixture::make(access, options, folder.filePath(QStringLiteral("rows.json")));

    const Answer answer = read(folder, access);
    QCOMPARE(answer.exit, exit);
    if (exit == JetReader::Converted)
        QCOMPARE(folder.stories(), stories);
    else
        QCOMPARE(answer.line, QString::number(codePage));
}

void TestJetReader::fileNotWholeIsDamaged_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("page");
    QTest::newRow("Jet 4") << QStringList{} << "stories.json" << 4096;
    QTest::newRow("Jet 3") << QStringList{"--jet3"} << "cp1252.json" << 2048;
}

// Cut anywhere, or blank but for its signature, a file is damaged: never one
// with a password, without a table story, or one that converts.
void TestJetReader::fileNotWholeIsDamaged()
{
    QFETCH(QStringList, options);
    QFETCH(QString, rows);
    QFETCH(int, page);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString access = folder.filePath(QStringLiteral("access.mdb"));
    JetFixture::make(access, options, rows);
    const QByteArray whole = JetFixture::bytes(access);
    const QByteArray signature = whole.left(20);

    QList<QByteArray> files{signature, signature + QByteArray(3 * page - 20, '\0')};
    for (qsizetype size = 0; size < whole.size(); size += 331)
        files << whole.left(size);
    for (qsizetype end = page; end < whole.size(); end += page)
        files << whole.left(end - 1) << whole.left(end) << whole.left(end + 1);
    for (const QByteArray& bytes : files) {
        folder.writeFile(QStringLiteral("access.mdb"), bytes);
        const Answer answer = read(folder, access);
        QVERIFY2(answer.exit == JetReader::Damaged && !answer.line.isEmpty(),
                 qPrintable(QStringLiteral("%1 bytes: exit %2, %3")
                                .arg(bytes.size())
                                .arg(answer.exit)
                                .arg(answer.line)));
    }
    // Two gibibytes of nothing after the signature, as a sparse file.
    QFile sparse(access);
    QVERIFY(sparse.open(QIODevice::WriteOnly | QIODevice::Truncate) && sparse.write(signature) &&
            sparse.resize(qint64(2) << 30));
    sparse.close();
    QCOMPARE(read(folder, access).exit, int(JetReader::Damaged));
}

QTEST_GUILESS_MAIN(TestJetReader)
#include "tst_jetreader.moc"
