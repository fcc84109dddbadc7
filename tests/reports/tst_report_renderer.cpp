// The report designs and the banded renderer: what is printed, where, on which page, and the
// PDF that comes out.
#include "app/DbError.h"
#include "app/Twips.h"
#include "app/ValueText.h"
#include "reports/Report.h"
#include "reports/ReportDesigns.h"
#include "reports/ReportRenderer.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Reports;

namespace {

// Landscape letter, the page every design must fit.
const QSizeF kLandscapeLetter(15840, 12240);

// A list written as one text, its items separated by '|'.
QStringList list(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('|'));
}

const QString kOpenCaptions = QStringLiteral("ID|Project Name|Owner|Category|Priority|Status|Start Date|End Date");
const QString kOpenFields = QStringLiteral("ID|ProjectName|OwnerName|Category|Priority|Status|StartDate|EndDate");

// A project row as [Open Projects] gives it.
QVector<QVariant> projectRow(int id, const QString& name, const QString& start) {
    return {id,
            name,
            QStringLiteral("Ann Lee"),
            QStringLiteral("Cat %1").arg(id),
            QStringLiteral("High"),
            QStringLiteral("Open"),
            start,
            QStringLiteral("2021-12-31")};
}

ReportTable projects(int count) {
    ReportTable table(list(kOpenFields));
    for (int i = 1; i <= count; ++i)
        table.addRow(projectRow(i, QStringLiteral("Project %1").arg(i), QStringLiteral("2021-03-05")));
    return table;
}

ReportTable tasks(const QStringList& descriptions) {
    ReportTable table(list(QStringLiteral("ProjID|ProjectName|TaskID|Title|AssignedTo|OwnerName|StartDate|Status|"
                                          "Category|Priority|DueDate|Description")));
    for (int id = 1; id <= descriptions.size(); ++id)
        table.addRow({7, QStringLiteral("Roof"), 100 + id, QStringLiteral("Task %1").arg(id),
                      QStringLiteral("Bob Hart"), QStringLiteral("Ann Lee"), QStringLiteral("2021-01-02"),
                      QStringLiteral("Open"), QStringLiteral("Home"), QStringLiteral("Low"),
                      QStringLiteral("2021-11-09"), descriptions[id - 1]});
    return table;
}

QString words(int count) {
    QStringList all;
    for (int i = 0; i < count; ++i)
        all << QStringLiteral("word%1").arg(i);
    return all.join(QLatin1Char(' '));
}

const ReportControl* findControl(const ReportDesign& design, const QString& name) {
    for (const ReportSection* s : {&design.reportHeader, &design.pageHeader, &design.detail})
        for (const ReportControl& c : s->controls)
            if (c.name == name)
                return &c;
    return nullptr;
}

// Items of one detail row: each row's detail starts with its first control.
QVector<QVector<DrawnText>> detailBlocks(const RecordingSurface& surface, const QString& firstControl) {
    QVector<QVector<DrawnText>> blocks;
    for (const DrawnText& item : surface.items()) {
        if (item.section != QLatin1String("Section1"))
            continue;
        if (item.control == firstControl || blocks.isEmpty())
            blocks.append(QVector<DrawnText>());
        blocks.last().append(item);
    }
    return blocks;
}

// Paints like the printer does and keeps what it drew.
class PaintAndRecord : public PainterSurface {
public:
    using PainterSurface::PainterSurface;
    void drawText(const DrawnText& item) override {
        PainterSurface::drawText(item);
        items << item;
    }
    QVector<DrawnText> items;
};

bool isInk(QRgb pixel) {
    return qGray(pixel) < 160;
}

// Each design in the order of the report list: title, preview caption, width, the captions of
// its page header and the fields it prints.
struct DesignCase {
    QString name, title, caption;
    int width;
    QString captions, fields;
};
const DesignCase kDesigns[] = {
    {"rptOpenProjects", "Open Projects", "Open Issues", 10650, kOpenCaptions, kOpenFields},
    {"rptProjectsByCategory", "Projects By Category", "Issues By Category", 10521,
     "Category|Owner|Project Name|Status|End Date|Priority|Start Date",
     "Category|OwnerName|ProjectName|Status|EndDate|Priority|StartDate"},
    {"rptProjectsByStatus", "Projects By Status", "Issues By Status", 10521,
     "Status|End Date|Project Name|Owner|Priority|Category|Start Date",
     "Status|EndDate|ProjectName|OwnerName|Priority|Category|StartDate"},
    {"rptProjectsByAssigned", "Issues By Owner", "Issues By Assigned To", 10521,
     "Owner|Status|Project Name|End Date|Priority|Category|Start Date",
     "OwnerName|Status|ProjectName|EndDate|Priority|Category|StartDate"},
    {"rptIssueDetails", "Issues Details", "Issues Details", 11376, "",
     "ProjID|ProjectName|TaskID|Title|AssignedTo|Status|OwnerName|Category|StartDate|Priority|DueDate|Description"},
};

} // namespace

class TestReportRenderer : public QObject {
    Q_OBJECT
private slots:
    void designsMatchTheirLayouts_data();
    void designsMatchTheirLayouts();
    void fieldValuesPrintAsTheDesignSays();
    void captionsAndValuesPrintInOrder();
    void rowsBeyondOnePageRepeatThePageHeader();
    void controlsSitAtTheirDesignPositions_data();
    void controlsSitAtTheirDesignPositions();
    void inkStaysInsideTheBoxesAtDevicePositions_data();
    void inkStaysInsideTheBoxesAtDevicePositions();
    void longDescriptionGrowsAndBlocksStayTogether();
    void descriptionTallerThanAPageGoesOnOverPages();
    void missingFieldOrNarrowPageIsAnError();
    void pdfHasLandscapePagesWithTheTexts();
};

void TestReportRenderer::designsMatchTheirLayouts_data() {
    QTest::addColumn<int>("choice");
    for (int i = 0; i < 5; ++i)
        QTest::newRow(qPrintable(kDesigns[i].name)) << i;
}

void TestReportRenderer::designsMatchTheirLayouts() {
    QFETCH(int, choice);
    const DesignCase& expected = kDesigns[choice];
    const ReportDesign d = reportChoices()[choice].create();
    QCOMPARE(d.name, expected.name);
    QCOMPARE(d.title(), expected.title);
    QCOMPARE(d.caption, expected.caption);
    QCOMPARE(d.width, expected.width);
    // Wider than a portrait letter or A4 page with its margins: printed landscape.
    QVERIFY(d.width + d.leftMargin + d.rightMargin > 11906);
    QStringList captions;
    for (const ReportControl& c : d.pageHeader.controls) {
        captions << c.caption;
        QVERIFY(c.font.bold);
    }
    QCOMPARE(captions, list(expected.captions));
    QCOMPARE(d.fieldNames(), list(expected.fields));
    const ReportControl& titleLabel = d.reportHeader.controls.first();
    QCOMPARE(QRect(titleLabel.left, titleLabel.top, titleLabel.width, titleLabel.height), QRect(144, 0, 4032, 432));
    QVERIFY(titleLabel.font.bold && titleLabel.font.italic && titleLabel.font.pointSize == 15.75);
    QCOMPARE(d.reportHeader.height, 435);
    // In the lists each field stands under its caption; dates print as the windows show them.
    for (int i = 0; i < d.pageHeader.controls.size(); ++i)
        QCOMPARE(d.detail.controls[i].left, d.pageHeader.controls[i].left);
    for (const ReportControl& c : d.detail.controls)
        QCOMPARE(c.dateFormat, c.field.endsWith(QLatin1String("Date")) ? QStringLiteral("short") : QString());
}

void TestReportRenderer::fieldValuesPrintAsTheDesignSays() {
    const QString format = QStringLiteral("M/d/yyyy");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(fieldText(QStringLiteral("2021-01-02"), format), QStringLiteral("1/2/2021"));
    QCOMPARE(fieldText(QStringLiteral("2021-12-31"), format), QStringLiteral("12/31/2021"));
    QCOMPARE(fieldText(QDate(2020, 2, 29), format), QStringLiteral("2/29/2020"));
    QCOMPARE(fieldText(QStringLiteral("soon"), format), QStringLiteral("soon"));
    QCOMPARE(fieldText(QVariant(), format), QString());
    QCOMPARE(fieldText(2.5, QString()), QStringLiteral("2.5"));
    QCOMPARE(fieldText(qint64(12), QString()), QStringLiteral("12"));
    QCOMPARE(fieldText(QStringLiteral("2021-01-02"), QString()), QStringLiteral("2021-01-02"));
    QLocale::setDefault(QLocale::c());
    // "short": the very text the lists and the timeline show.
    for (const char* iso : {"2021-01-02", "2026-01-20", "1999-12-31"}) {
        QCOMPARE(fieldText(QString::fromLatin1(iso), QStringLiteral("short")),
                 displayText(QString::fromLatin1(iso), true));
        QCOMPARE(fieldText(QDate::fromString(QString::fromLatin1(iso), Qt::ISODate), QStringLiteral("short")),
                 shortDateText(QString::fromLatin1(iso)));
    }
    QCOMPARE(fieldText(QStringLiteral("soon"), QStringLiteral("short")), QStringLiteral("soon"));
}

void TestReportRenderer::captionsAndValuesPrintInOrder() {
    ReportTable table = projects(0);
    table.addRow(projectRow(4, QStringLiteral("Alpha"), QStringLiteral("2021-03-05")));
    table.addRow({9, QStringLiteral("Beta"), QString(), QVariant(), QStringLiteral("Low"), QStringLiteral("Done"),
                  QStringLiteral("2022-10-01"), QVariant()});
    RecordingSurface surface(kLandscapeLetter);
    QCOMPARE(renderReport(rptOpenProjects(), table, surface), 1);
    QCOMPARE(surface.texts(),
             list(QStringLiteral("Open Projects|") + kOpenCaptions +
                  QStringLiteral("|4|Alpha|Ann Lee|Cat 4|High|Open|%1|%2|9|Beta|||Low|Done|%3|")
                      .arg(shortDateText("2021-03-05"), shortDateText("2021-12-31"), shortDateText("2022-10-01"))));
}

void TestReportRenderer::rowsBeyondOnePageRepeatThePageHeader() {
    RecordingSurface surface(kLandscapeLetter);
    // 9360 twips of body: 23 rows under the title and header, then 25 a page.
    QCOMPARE(renderReport(rptOpenProjects(), projects(60), surface), 3);
    QCOMPARE(surface.pages(), 3);
    for (int page = 1; page <= 3; ++page) {
        const QStringList texts = surface.texts(page);
        const int first = page == 1 ? 1 : 0;
        QCOMPARE(texts.mid(first, 8), list(kOpenCaptions));
        QCOMPARE(texts.count(QStringLiteral("Open Projects")), page == 1 ? 1 : 0);
    }
    const QVector<QVector<DrawnText>> rows = detailBlocks(surface, QStringLiteral("Text1"));
    QCOMPARE(rows.size(), 60);
    QVector<int> perPage(4);
    for (int r = 0; r < rows.size(); ++r) {
        const QVector<DrawnText>& row = rows[r];
        QCOMPARE(row.first().text, QString::number(r + 1)); // the IDs in order
        QCOMPARE(row.size(), 8);
        for (const DrawnText& item : row) {
            QCOMPARE(item.page, row.first().page);
            QVERIFY(item.box.bottom() <= kLandscapeLetter.height() - 1440);
        }
        ++perPage[row.first().page];
    }
    QCOMPARE(perPage, (QVector<int>{0, 23, 25, 12}));
}

void TestReportRenderer::controlsSitAtTheirDesignPositions_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("designBox"); // left, top within its section, width, height
    QTest::newRow("open: Owner caption") << 0 << "Label4" << QRect(2736, 0, 1440, 240);
    QTest::newRow("open: Priority field") << 0 << "Text5" << QRect(5616, 0, 1005, 240);
    QTest::newRow("open: Start Date field") << 0 << "Text7" << QRect(8064, 0, 1161, 240);
    QTest::newRow("category: End Date field") << 1 << "Text5" << QRect(6624, 0, 1155, 240);
    QTest::newRow("status: Status caption") << 2 << "Label2" << QRect(0, 0, 1020, 240);
    QTest::newRow("owner: Project Name field") << 3 << "Text3" << QRect(2448, 0, 2730, 240);
    QTest::newRow("tasks: project name") << 4 << "Text2" << QRect(2268, 0, 9071, 570);
    QTest::newRow("tasks: Status caption") << 4 << "Label5" << QRect(3609, 999, 1020, 240);
    QTest::newRow("tasks: Opened Date caption") << 4 << "Label8" << QRect(0, 1575, 1305, 240);
    QTest::newRow("tasks: due date") << 4 << "Text11" << QRect(5049, 1863, 1155, 240);
    QTest::newRow("tasks: description") << 4 << "Text12" << QRect(0, 2268, 9930, 285);
}

void TestReportRenderer::controlsSitAtTheirDesignPositions() {
    QFETCH(int, choice);
    QFETCH(QString, control);
    QFETCH(QRect, designBox);
    const ReportDesign design = reportChoices()[choice].create();
    const ReportControl* c = findControl(design, control);
    QVERIFY(c);
    QCOMPARE(QRect(c->left, c->top, c->width, c->height), designBox);

    const ReportTable table = choice == 4 ? tasks({QStringLiteral("short")}) : projects(2);
    RecordingSurface surface(kLandscapeLetter);
    renderReport(design, table, surface);
    // The page's corner, the margin, the report header and the page header above the first row.
    const bool inPageHeader = control.startsWith(QLatin1String("Label")) && choice != 4;
    const double sectionTop = 1440 + design.reportHeader.height + (inPageHeader ? 0 : design.pageHeader.height);
    const QRectF expected(1440 + designBox.left(), sectionTop + designBox.top(), designBox.width(), designBox.height());
    QVector<DrawnText> drawn; // every print of the control, in order
    for (const DrawnText& item : surface.items())
        if (item.control == control)
            drawn << item;
    QVERIFY(!drawn.isEmpty());
    QCOMPARE(drawn[0].page, 1);
    QCOMPARE(drawn[0].box, expected);
    // The second row of a list sits one detail height lower.
    if (choice != 4 && !inPageHeader) {
        QCOMPARE(drawn.size(), 2);
        QCOMPARE(drawn[1].box.top() - drawn[0].box.top(), double(design.detail.height));
    }
}

void TestReportRenderer::inkStaysInsideTheBoxesAtDevicePositions_data() {
    QTest::addColumn<int>("dpi");
    QTest::newRow("96 dpi") << 96;
    QTest::newRow("150 dpi") << 150;
}

void TestReportRenderer::inkStaysInsideTheBoxesAtDevicePositions() {
    QFETCH(int, dpi);
    QImage image(Twips::toPixels(kLandscapeLetter.width(), dpi), Twips::toPixels(kLandscapeLetter.height(), dpi),
                 QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);

    // A name far wider than its column, with nothing to its right: the name must be cut at its box.
    ReportTable table = projects(1);
    table.addRow({2, QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW")});
    QPainter painter(&image);
    PaintAndRecord surface(painter);
    renderReport(rptOpenProjects(), table, surface);
    painter.end();
    QVERIFY(!surface.items.isEmpty());

    QVector<QRect> boxes;
    for (const DrawnText& item : surface.items) {
        const QRectF device = surface.deviceRect(item.box);
        // Device position = twips * dpi / 1440.
        QVERIFY(qAbs(device.left() - item.box.left() * dpi / 1440.0) < 0.01);
        QVERIFY(qAbs(device.top() - item.box.top() * dpi / 1440.0) < 0.01);
        // An empty box draws nothing, so no ink may fall into it.
        boxes << (item.text.isEmpty() ? QRect() : device.toAlignedRect().adjusted(-1, -1, 1, 1));
    }
    // Every inked pixel lies inside the box of a printed control.
    int outside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isInk(image.pixel(x, y)) &&
                std::none_of(boxes.cbegin(), boxes.cend(), [&](const QRect& r) { return r.contains(x, y); }))
                ++outside;
    QCOMPARE(outside, 0);
    // Every text with something to show left ink in its own box, starting at its left edge.
    for (int i = 0; i < surface.items.size(); ++i) {
        if (surface.items[i].text.isEmpty())
            continue;
        const QRect r = boxes[i];
        int minX = INT_MAX;
        int maxX = -1;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (isInk(image.pixel(x, y))) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                }
        QVERIFY2(maxX >= 0, qPrintable(surface.items[i].text));
        QVERIFY2(minX - r.left() <= 1 + dpi / 36, qPrintable(surface.items[i].text));
        if (surface.items[i].text.startsWith(QLatin1String("WWW"))) // the cut name fills its box
            QVERIFY(r.right() - maxX <= 3);
    }
}

void TestReportRenderer::longDescriptionGrowsAndBlocksStayTogether() {
    const QString longText = words(400);
    RecordingSurface surface(kLandscapeLetter);
    const int pages = renderReport(rptIssueDetails(),
                                   tasks({QStringLiteral("short"), longText, QStringLiteral("line one\r\nline two"),
                                          QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
                                   surface);
    QVERIFY(pages >= 2);
    const QVector<QVector<DrawnText>> blocks = detailBlocks(surface, QStringLiteral("Label2"));
    QCOMPARE(blocks.size(), 6);
    const double bottomLimit = kLandscapeLetter.height() - 1440;
    double previousBottom = 0;
    int previousPage = 1;
    for (int b = 0; b < blocks.size(); ++b) {
        const QVector<DrawnText>& block = blocks[b];
        QCOMPARE(block.size(), 21);
        QCOMPARE(block[0].text, QStringLiteral("Project:"));
        QCOMPARE(block[4].text, QString::number(101 + b)); // TaskID
        const DrawnText& description = block.last();
        QVERIFY(description.multiLine);
        for (const DrawnText& item : block) {
            QCOMPARE(item.page, block.first().page); // a block never splits
            QVERIFY(item.box.bottom() <= bottomLimit + 0.01);
        }
        if (block.first().page == previousPage)
            QVERIFY(block.first().box.top() >= previousBottom - 0.01);
        previousPage = block.first().page;
        // The detail is 2730 high: 177 below the description's designed bottom.
        previousBottom = description.box.bottom() + 177;
    }
    const DrawnText& grown = blocks[1].last();
    QVERIFY(grown.box.height() > 285 * 5);
    QCOMPARE(grown.text.split(QLatin1Char('\n')).join(QLatin1Char(' ')), longText);
    QCOMPARE(blocks[2].last().text, QStringLiteral("line one\nline two"));
    QCOMPARE(blocks[0].last().box.height(), 285.0); // never shrinks below its design
    // The block that did not fit under the long one went to the next page as a whole.
    QVERIFY(blocks.last().first().page > blocks.first().first().page);
}

void TestReportRenderer::descriptionTallerThanAPageGoesOnOverPages() {
    const QString huge = words(3000);
    RecordingSurface surface(kLandscapeLetter);
    const int pages = renderReport(rptIssueDetails(), tasks({QStringLiteral("first"), huge}), surface);
    QVERIFY(pages >= 3);
    QStringList printed;
    int pieces = 0;
    for (const DrawnText& item : surface.items()) {
        QVERIFY(item.box.bottom() <= kLandscapeLetter.height() - 1440 + 0.01);
        QVERIFY(item.box.top() >= 1440 - 0.01);
        if (item.control == QLatin1String("Text12") && item.text != QLatin1String("first")) {
            printed << item.text.split(QLatin1Char('\n'));
            ++pieces;
        }
    }
    QVERIFY(pieces >= 2);
    // Every word exactly once, in order.
    QCOMPARE(printed.join(QLatin1Char(' ')), huge);
}

void TestReportRenderer::missingFieldOrNarrowPageIsAnError() {
    RecordingSurface landscape(kLandscapeLetter);
    QStringList fields = list(kOpenFields);
    fields.removeLast();
    try {
        renderReport(rptOpenProjects(), ReportTable(fields), landscape);
        QFAIL("a missing field must be reported");
    } catch (const DbError& e) {
        QVERIFY(e.description().contains(QLatin1String("EndDate")));
    }
    // Column names match in any letter case.
    ReportTable lower(list(kOpenFields.toLower()));
    lower.addRow(projectRow(3, QStringLiteral("x"), QStringLiteral("2021-07-04")));
    QCOMPARE(renderReport(rptOpenProjects(), lower, landscape), 1);
    QVERIFY(landscape.texts().contains(shortDateText(QStringLiteral("2021-07-04"))));

    RecordingSurface portrait(QSizeF(12240, 15840));
    for (const ReportChoice& choice : reportChoices())
        QVERIFY_THROWS_EXCEPTION(DbError, renderReport(choice.create(), projects(1), portrait));
}

void TestReportRenderer::pdfHasLandscapePagesWithTheTexts() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("open.pdf"));
    ReportTable table = projects(60);
    Report report(rptOpenProjects());
    report.setDataSource(&table);
    const auto print = [&report](const QString& file) {
        QPdfWriter writer(file);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        return report.print(writer);
    };
    QVERIFY_THROWS_EXCEPTION(DbError, print(dir.filePath(QStringLiteral("portrait.pdf"))));
    report.setOrientation(QPageLayout::Landscape);
    QCOMPARE(print(path), 3);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString pdf = QString::fromLatin1(file.readAll());
    QCOMPARE(pdf.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))), 3);
    const QRegularExpressionMatch box =
        QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)")).match(pdf);
    QVERIFY(box.hasMatch());
    QCOMPARE(qRound(box.captured(1).toDouble()), 792); // 11 by 8.5 inches
    QCOMPARE(qRound(box.captured(2).toDouble()), 612);

    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed: the PDF's text was not read back");
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QVERIFY(process.waitForFinished());
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages[0].contains(QLatin1String("Open Projects")));
    QVERIFY(!pages[1].contains(QLatin1String("Open Projects")));
    for (const QString& page : pages)
        QVERIFY(page.contains(QRegularExpression(QString(kOpenCaptions).replace(QLatin1Char('|'), "\\s+"))));
    QVERIFY(pages[0].contains(QRegularExpression(
        QStringLiteral("\\b1\\s+Project 1\\s+Ann Lee\\s+Cat 1\\s+High\\s+Open\\s+%1\\s+%2")
            .arg(QRegularExpression::escape(shortDateText("2021-03-05")).replace(QLatin1String("\\ "), "\\s+"),
                 QRegularExpression::escape(shortDateText("2021-12-31")).replace(QLatin1String("\\ "), "\\s+")))));
    QVERIFY(text.indexOf(QLatin1String("Project 59")) > text.indexOf(QLatin1String("Project 24")));
    QVERIFY(pages[2].contains(QLatin1String("Project 60")));
}

QTEST_MAIN(TestReportRenderer)
#include "tst_report_renderer.moc"
