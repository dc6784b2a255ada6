#include "app/about_dlg.h"
#include "app/quillstamper_dlg.h"
#include "fake_platform.h"
#include "options/options_dlg.h"
#include "support/test_files.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include <memory>

namespace quillstamper {

namespace {

using test::FakePlatform;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const QString kWebFilter =
    "HTM or other web files (*.htm;*.html;*.pl;*.php)|*.htm;*.html;*.pl;*.php";
const QString kAllFilesFilter = "all files (*.*)|*.*";
const QString kProjectFilter = "Trelvonix project files (*.trvx)|*.trvx";
const QString kNoKey = "No Key detected, please start setup again!";
const QString kDone = "Conversion done!";
const IdentifierTable kDefaults = {
    "<!-- Trelvonix ", " end -->", "# Trelvonix ", " end -->", "// Trelvonix ", " end -->", "", ""};
const std::string kMenuBlock = "<!-- Trelvonix menu -->\nold\n<!-- Trelvonix menu end -->\n";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Counts(int web, int templates) {
    return QString("Web Files: %1        Template Files: %2").arg(web).arg(templates);
}

QString Precondition(int web, int templates) {
    return QString("You added %1 Web Files and %2 Template Files!\n\nYou need one of each at least "
                   "for starting the conversion process!")
        .arg(web)
        .arg(templates);
}

// Display form of a long path: its first pathBreak and last 64 - pathBreak characters.
QString Shortened(const QString& path, int pathBreak) {
    return path.left(pathBreak) + " ... " + path.right(64 - pathBreak);
}

std::string CrLfLines(std::initializer_list<std::string_view> lines) {
    std::string bytes;
    for (const std::string_view line : lines) {
        bytes.append(line).append("\r\n");
    }
    return bytes;
}

QStringList Items(const QListWidget* listBox) {
    QStringList items;
    for (int row = 0; row < listBox->count(); ++row) {
        items << listBox->item(row)->text();
    }
    return items;
}

QStringList ToList(const FileList& files) {
    QStringList list;
    for (const std::string& file : files) {
        list << Q(file);
    }
    return list;
}

} // namespace

class QuillstamperDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_fake = std::make_unique<FakePlatform>();
        m_dlg = std::make_unique<CQuillstamperDlg>(*m_fake);
    }

    void cleanup() {
        const bool allUsed = m_fake->AllAnswersUsed();
        m_dlg.reset();
        m_fake.reset();
        QVERIFY2(allUsed, "a scripted answer was not asked for");
    }

    void startState() {
        QCOMPARE(m_dlg->windowTitle(), QString("Trelvonix Quillstamper"));
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(0, 0));
        QCOMPARE(Status(), QString(" | "));
        QCOMPARE(m_dlg->WebListBox()->count() + m_dlg->TemplateListBox()->count(), 0);
        QVERIFY(m_dlg->focusWidget() == m_dlg->DynamizeButton());
        QVERIFY(m_dlg->DynamizeButton()->isDefault());
        QVERIFY(!(m_dlg->WebListBox()->focusPolicy() & Qt::TabFocus));
        QVERIFY(m_dlg->TemplateListBox()->focusPolicy() & Qt::TabFocus);
        QCOMPARE(Ws().m_pathBreak, 32);
        QVERIFY(Ws().m_identifiers == kDefaults);
        QVERIFY(Ws().m_projectPath.empty());
    }

    void enterRunsDynamizeWhichNeedsOneFileOfEachKind() {
        m_dlg->show();
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        Add(false, {"/t/1.txt", "/t/2.txt"});
        m_dlg->DynamizeButton()->click();
        QCOMPARE(TakeMessages(), QStringList({Precondition(0, 0), Precondition(0, 2)}));
        QCOMPARE(Status(), QString(" | "));
    }

    void addAppendsInDialogOrderAndShowsSortedDisplayForms() {
        Add(true, {"/w/c.htm", "/w/a.htm", "/w/b.htm"});
        Add(true, {"/w/a.htm"});
        Add(true, {});
        const QString longPath = "/w/" + QString(40, u'd') + u'/' + QString(40, u'e');
        Add(false, {longPath});
        QCOMPARE(Web(), QStringList({"/w/c.htm", "/w/a.htm", "/w/b.htm", "/w/a.htm"}));
        QCOMPARE(Items(m_dlg->WebListBox()),
                 QStringList({"/w/a.htm", "/w/a.htm", "/w/b.htm", "/w/c.htm"}));
        QCOMPARE(Templates(), QStringList({longPath}));
        QCOMPARE(Items(m_dlg->TemplateListBox()), QStringList({Shortened(longPath, 32)}));
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(4, 1));
        QCOMPARE(m_fake->filters,
                 QStringList({kWebFilter, kWebFilter, kWebFilter, kAllFilesFilter}));
        QCOMPARE(TakeMessages(), QStringList());
    }

    void saveAsksOnceAndOpenRestoresArrayOrder() {
        TempDir dir;
        const QString project = Q(dir / "site.trvx");
        Add(true, {"/w/c.htm", "/w/a.htm"});
        Add(false, {"/t/x.txt"});
        m_fake->saveFileName.push_back(project);
        Trigger("&Save Project");
        Add(true, {"/w/b.htm"});
        Trigger("&Save Project"); // no dialog now
        m_fake->saveFileName.push_back(QString());
        Trigger("Sa&ve Project as...");
        const QString request = "My dynamic website.trvx|.trvx";
        QCOMPARE(m_fake->saveRequests, QStringList({request, request}));
        QCOMPARE(m_fake->filters, QStringList({kWebFilter, kAllFilesFilter, kProjectFilter,
                                               kWebFilter, kProjectFilter}));
        QCOMPARE(Q(Ws().m_projectPath), project);
        QCOMPARE(ReadBytes(dir / "site.trvx"),
                 CrLfLines({"Trelvonix Quillstamper Project", "==============================", "",
                            "/w/c.htm", "/w/a.htm", "/w/b.htm", "[EOL]", "/t/x.txt", "[EOL]",
                            "<!-- Trelvonix ", " end -->", "# Trelvonix ", " end -->",
                            "// Trelvonix ", " end -->", "", "", "[EOL]"}));

        OpenProject(dir / "site.trvx");
        QCOMPARE(Web(), QStringList({"/w/c.htm", "/w/a.htm", "/w/b.htm"}));
        QCOMPARE(Items(m_dlg->WebListBox()), QStringList({"/w/a.htm", "/w/b.htm", "/w/c.htm"}));
        QCOMPARE(Items(m_dlg->TemplateListBox()), QStringList({"/t/x.txt"}));
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(3, 1));
        QCOMPARE(m_fake->filters.last(), kProjectFilter);

        // New Project keeps the project path: Save writes the empty workspace there at once.
        Trigger("&New Project");
        QCOMPARE(m_dlg->WebListBox()->count() + m_dlg->TemplateListBox()->count(), 0);
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(0, 0));
        Trigger("&Save Project");
        QCOMPARE(ReadBytes(dir / "site.trvx").size(), std::size_t(167));
        QCOMPARE(TakeMessages(), QStringList());
    }

    void refusedOrUnreadableProjectLeavesListsEmptyAndStateOfBefore() {
        TempDir dir;
        const std::string good = dir / "good.trvx";
        WriteBytes(good, "Trelvonix Quillstamper Project\n==\n\n/w/b.htm\n/w/a.htm\n[EOL]\n/t/x\n"
                         "[EOL]\n <!-- X \n[EOL]\n# Y\n end\n\n\n\n e8 \n[EOL]\n");
        const IdentifierTable opened = {" <!-- X ", "[EOL]", "# Y", " end", "", "", "", " e8 "};
        OpenProject(good);
        QCOMPARE(Web(), QStringList({"/w/b.htm", "/w/a.htm"}));
        QVERIFY(Ws().m_identifiers == opened);

        const std::pair<std::string, QString> refused[] = {
            {"Trelvonix Quillstamper Project \r\n==\r\n\r\n[EOL]\r\n[EOL]\r\n", "No project file!"},
            {"trelvonix quillstamper project\r\n==\r\n\r\n[EOL]\r\n[EOL]\r\n", "No project file!"},
            {"", "No project file!"},
            {"Trelvonix Quillstamper Project\r\n==\r\n\r\n/w/cut.htm\r\n", ""}}; // cut short
        for (const auto& [bytes, message] : refused) {
            WriteBytes(dir / "bad.trvx", bytes);
            OpenProject(dir / "bad.trvx");
            const QStringList messages = TakeMessages();
            QCOMPARE(messages.size(), qsizetype(1));
            QVERIFY(message.isEmpty() || messages.first() == message);
            QCOMPARE(m_dlg->WebListBox()->count() + m_dlg->TemplateListBox()->count(), 0);
            QCOMPARE(Web() + Templates(), QStringList());
            QCOMPARE(m_dlg->CountsLabel()->text(), Counts(0, 0));
            QVERIFY(Ws().m_identifiers == opened);
            QCOMPARE(Ws().m_projectPath, good);
        }

        OpenProject(good);
        OpenProject(dir / "missing.trvx");
        ExpectErrorBox(dir / "missing.trvx");
        QCOMPARE(Web(), QStringList());
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(0, 0));
        QVERIFY(Ws().m_identifiers == opened);
        QCOMPARE(Ws().m_projectPath, good);
        m_fake->openFileName.push_back(QString()); // cancelled
        Trigger("&Open Project");
        QCOMPARE(Ws().m_projectPath, good);
        OpenProject(good); // the window is still usable
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(2, 1));
    }

    void optionsEditsCopiesAndRebuildsBothLists() {
        const QString longWeb = "/w/" + QString(80, u'a');
        const QString longTemplate = "/t/" + QString(70, u'b') + u'c';
        Add(true, {longWeb, "/w/short.htm"});
        Add(false, {longTemplate});

        QStringList shown = RunOptions(true, {{6, "%% "}, {7, " %%"}}, "10");
        QCOMPARE(shown, QStringList({"<!-- Trelvonix ", " end -->", "# Trelvonix ", " end -->",
                                     "// Trelvonix ", " end -->", "", "", "32"}));
        IdentifierTable stored = kDefaults;
        stored[6] = "%% ";
        stored[7] = " %%";
        QVERIFY(Ws().m_identifiers == stored);
        QCOMPARE(Ws().m_pathBreak, 10);
        QCOMPARE(Items(m_dlg->WebListBox()), QStringList({Shortened(longWeb, 10), "/w/short.htm"}));
        QCOMPARE(Items(m_dlg->TemplateListBox()), QStringList({Shortened(longTemplate, 10)}));

        shown = RunOptions(false, {{0, "changed"}}, "20");
        QCOMPARE(shown.mid(6), QStringList({"%% ", " %%", "10"}));
        QVERIFY(Ws().m_identifiers == stored);
        QCOMPARE(Ws().m_pathBreak, 10);

        const std::pair<QString, int> pathBreaks[] = {{"abc", 0}, {"100", 64}, {"5 ", 50}};
        for (const auto& [text, pathBreak] : pathBreaks) {
            RunOptions(true, {}, text);
            QCOMPARE(Ws().m_pathBreak, pathBreak);
            QCOMPARE(Items(m_dlg->TemplateListBox()),
                     QStringList({Shortened(longTemplate, pathBreak)}));
        }
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(2, 1));
    }

    void dynamizeConvertsAndReportsUnclosedBlocksFirst() {
        TempDir dir;
        const std::string page = dir / "page.htm", open = dir / "open.htm";
        const std::string openBytes = CrLfLines({"<!-- Trelvonix menu -->", "kept"});
        const std::string partsBytes =
            "x\n<!-- Trelvonix menu -->\nnew1\nnew2\n<!-- Trelvonix menu end -->\ny\n";
        WriteBytes(page, kMenuBlock);
        WriteBytes(open, openBytes);
        WriteBytes(dir / "parts.txt", partsBytes);
        Add(true, {Q(page), Q(open)});
        Add(false, {Q(dir / "parts.txt")});
        QStringList statusAtMessage;
        m_fake->onMessage = [&] { statusAtMessage << Status(); };
        m_dlg->DynamizeButton()->click();
        QCOMPARE(ReadBytes(page), CrLfLines({"<!-- Trelvonix menu -->", "new1", "new2",
                                             "<!-- Trelvonix menu end -->"}));
        QCOMPARE(ReadBytes(open), openBytes);
        QCOMPARE(ReadBytes(dir / "parts.txt"), partsBytes);
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), qsizetype(2));
        QVERIFY(messages[0].contains(Q(open)) && messages[0].contains("<!-- Trelvonix menu -->"));
        QCOMPARE(messages[1], kDone);
        QCOMPARE(statusAtMessage.last(), QString(" | "));
    }

    // Relative entries of a project file are taken below its folder, not the current one.
    void relativeProjectEntriesAndTheFileCheck() {
        TempDir dir;
        WriteBytes(dir / "site/page.htm", kMenuBlock);
        WriteBytes(dir / "parts/menu.txt",
                   "<!-- Trelvonix menu -->\nnew\n<!-- Trelvonix menu end -->\n"
                   "<!-- Trelvonix side -->\n# Trelvonix foot\n");
        WriteBytes(dir / "p.trvx", "Trelvonix Quillstamper Project\n==\n\nsite/page.htm\n[EOL]\n"
                                   "parts/menu.txt\n[EOL]\n");
        OpenProject(dir / "p.trvx");
        QVERIFY(Ws().m_identifiers == IdentifierTable{}); // the file ends after the lists
        // With no empty identifier, "# Trelvonix foot" is not its own end line.
        std::vector<std::pair<int, const char*>> typed = {{6, "%% "}, {7, " %%"}};
        for (int entry = 0; entry < 6; ++entry) {
            typed.emplace_back(entry, kDefaults[entry].c_str());
        }
        RunOptions(true, typed, "32");
        m_dlg->DynamizeButton()->click();
        QCOMPARE(ReadBytes(dir / "site/page.htm"),
                 CrLfLines({"<!-- Trelvonix menu -->", "new", "<!-- Trelvonix menu end -->"}));
        QCOMPARE(TakeMessages(), QStringList({kDone}));

        QStringList currentAtMessage;
        m_fake->onMessage = [&] { currentAtMessage << m_dlg->CurrentFileLabel()->text(); };
        Trigger("&Check Files for Errors");
        QCOMPARE(TakeMessages(), QStringList({"End of template missing:\n\n<!-- Trelvonix side -->",
                                              "End of template missing:\n\n# Trelvonix foot"}));
        QCOMPARE(currentAtMessage, QStringList({"<!-- Trelvonix side -->", "# Trelvonix foot"}));
        QCOMPARE(Status(), QString(" | "));
        Trigger("&New Project");
        Trigger("&Check Files for Errors");
        QCOMPARE(TakeMessages(), QStringList({"No errors found in files, file checking done!"}));
    }

    // The status lines keep the file in hand: a template that cannot be read
    // during a pass, then a web file that cannot be read at the start of one.
    void fileErrorShowsTheErrorBoxAndKeepsTheWindowUsable() {
        TempDir dir;
        const std::string page = dir / (std::string(70, 'p') + ".htm");
        const std::string missing = dir / (std::string(70, 'm') + ".htm");
        const std::string parts = dir / "parts.txt";
        WriteBytes(page, kMenuBlock);
        WriteBytes(parts, "x\n");
        QStringList statusAfterError;
        for (const auto& [web, templateFile] :
             {std::pair{page, missing}, std::pair{missing, parts}}) {
            Trigger("&New Project");
            Add(true, {Q(web)});
            Add(false, {Q(templateFile)});
            m_dlg->DynamizeButton()->click();
            ExpectErrorBox(missing);
            statusAfterError << Status();
        }
        QCOMPARE(ReadBytes(page), kMenuBlock);
        Trigger("&Check Files for Errors");
        ExpectErrorBox(missing);
        QCOMPARE(m_dlg->ActivityLabel()->text(), QString("Currently checking ..."));

        Trigger("&New Project");
        Add(true, {Q(parts)});
        Add(false, {Q(parts)});
        m_dlg->DynamizeButton()->click();
        QCOMPARE(TakeMessages(), QStringList({kDone}));
        QCOMPARE(Status(), QString(" | "));
        QCOMPARE(statusAfterError,
                 QStringList({"Currently converting ... | " + Shortened(Q(page), 32),
                              "Currently converting ... | " + Shortened(Q(missing), 32)}));
    }

    void helpWebsiteAndAbout() {
        m_fake->setupValues = {{"Help", "/opt/qs/help.html"}, {"Home", "https://example.org/"}};
        QShortcut* f1 = m_dlg->findChild<QShortcut*>();
        QVERIFY(f1 != nullptr && f1->key() == QKeySequence(Qt::Key_F1));
        QWidget* helpMenu = qobject_cast<QWidget*>(m_dlg->MenuAction("&About")->parent());
        const auto runAll = [&] {
            Trigger("Show &Help File");
            Trigger("Go to Trelvonix &Website");
            emit f1->activated();
            QTest::keyClick(helpMenu, Qt::Key_F1); // F1 with the Help menu open
        };
        runAll();
        const QString help = "/opt/qs/help.html";
        QCOMPARE(m_fake->opened, QStringList({help, "https://example.org/", help, help}));
        QCOMPARE(m_fake->setupValuesRead, QStringList({"Help", "Home", "Help", "Help"}));
        QCOMPARE(TakeMessages(), QStringList());

        // Without the values each command warns first, then opens the empty text.
        m_fake->setupValues.clear();
        m_fake->opened.clear();
        QList<qsizetype> openedAtMessage;
        m_fake->onMessage = [&] { openedAtMessage << m_fake->opened.size(); };
        runAll();
        QCOMPARE(TakeMessages(), QStringList({kNoKey, kNoKey, kNoKey, kNoKey}));
        QCOMPARE(openedAtMessage, QList<qsizetype>({0, 1, 2, 3}));
        QCOMPARE(m_fake->opened, QStringList({"", "", "", ""}));

        QStringList about;
        m_fake->dialogRuns.push_back([&](QDialog& dialog) {
            about << (qobject_cast<CAboutDlg*>(&dialog) ? dialog.windowTitle() : QString());
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                about << label->text();
            }
            QPushButton* ok = dialog.findChild<QPushButton*>();
            about << ok->text();
            ok->click();
            return dialog.result();
        });
        Trigger("&About");
        QCOMPARE(about.first(), QString("About ..."));
        QVERIFY(about.contains("Quillstamper Version 1.0"));
        QCOMPARE(about.last(), QString("OK"));
        QCOMPARE(m_dlg->CountsLabel()->text(), Counts(0, 0));
    }

private:
    const Workspace& Ws() const {
        return m_dlg->GetWorkspace();
    }
    QStringList Web() const {
        return ToList(Ws().m_webFiles);
    }
    QStringList Templates() const {
        return ToList(Ws().m_templateFiles);
    }
    QString Status() const {
        return m_dlg->ActivityLabel()->text() + " | " + m_dlg->CurrentFileLabel()->text();
    }

    // Chooses files for the web list's Add (the upper one) or the template list's.
    void Add(bool web, const QStringList& chosen) {
        m_fake->openFileNames.push_back(chosen);
        QPushButton* found = nullptr;
        for (QPushButton* button : m_dlg->findChildren<QPushButton*>()) {
            if (button->text() == "Add" &&
                (found == nullptr || (button->y() < found->y()) == web)) {
                found = button;
            }
        }
        found->click();
    }

    void Trigger(const char* menuText) {
        QAction* action = m_dlg->MenuAction(menuText);
        if (action == nullptr) {
            QTest::qFail(menuText, __FILE__, __LINE__);
            return;
        }
        action->trigger();
    }

    void OpenProject(const std::string& path) {
        m_fake->openFileName.push_back(Q(path));
        Trigger("&Open Project");
    }

    // Returns what the Options dialog's edits showed (entries 0 to 7, then the
    // path break), after typing the given texts and pressing OK or Cancel.
    QStringList RunOptions(bool ok, const std::vector<std::pair<int, const char*>>& typed,
                           const QString& pathBreak) {
        QStringList shown;
        m_fake->dialogRuns.push_back([&](QDialog& dialog) {
            auto* options = qobject_cast<COptionsDlg*>(&dialog);
            for (int entry = 0; entry < 8; ++entry) {
                shown << options->IdentifierEdit(entry)->text();
            }
            shown << options->PathBreakEdit()->text();
            for (const auto& [entry, text] : typed) {
                options->IdentifierEdit(entry)->setText(text);
            }
            options->PathBreakEdit()->setText(pathBreak);
            ok ? dialog.accept() : dialog.reject();
            return dialog.result();
        });
        Trigger("&Options");
        return shown;
    }

    // The texts of the messages so far, which must be the program's own:
    // captioned "Trelvonix Quillstamper", no icon, owned by the window.
    QStringList TakeMessages() {
        QStringList texts;
        for (const FakePlatform::Message& message : m_fake->messages) {
            if (message.caption != "Trelvonix Quillstamper" ||
                message.icon != Platform::Icon::None || message.owner != m_dlg.get()) {
                QTest::qFail(qPrintable("not a program message: " + message.text), __FILE__,
                             __LINE__);
            }
            texts << message.text;
        }
        m_fake->messages.clear();
        return texts;
    }

    // Exactly one message so far: the error box naming the file.
    void ExpectErrorBox(const std::string& file) {
        const std::vector<FakePlatform::Message> messages = std::exchange(m_fake->messages, {});
        QCOMPARE(messages.size(), std::size_t(1));
        QVERIFY(messages[0].owner == m_dlg.get() && messages[0].icon == Platform::Icon::Stop);
        QCOMPARE(messages[0].caption, QCoreApplication::applicationName());
        QVERIFY(!messages[0].caption.isEmpty());
        QVERIFY2(messages[0].text.contains(Q(file)), qPrintable(messages[0].text));
    }

    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<CQuillstamperDlg> m_dlg;
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::QuillstamperDlgTest)
#include "quillstamper_dlg_test.moc"
