#include "widgets/dialog_units.h"
#include "widgets/qt_platform.h"
#include "widgets/system_menu.h"

#include <QTest>

namespace quillstamper {

class WindowHelpersTest : public QObject {
    Q_OBJECT

private slots:
    // The system passes its own bits in the low four bits, so 16 to 31 all
    // mean the About item; the system's own commands do not.
    void aboutSystemCommandIgnoresLowFourBits() {
        for (std::uint32_t id = 16; id <= 31; ++id) {
            QVERIFY2(IsAboutSystemCommand(id), qPrintable(QString::number(id)));
        }
        for (std::uint32_t id : {0u, 1u, 15u, 32u, 33u, 0x110u, 0xF060u, 0xF100u}) {
            QVERIFY2(!IsAboutSystemCommand(id), qPrintable(QString::number(id)));
        }
    }

    // Horizontal units are quarters and vertical units eighths of the base
    // size; fractions of a pixel round to the nearest, halves up.
    void dialogUnitsScaleAndRound() {
        const DialogUnits units(6, 13);
        QCOMPARE(units.ToPixelsX(370), 555);
        QCOMPARE(units.ToPixelsY(214), 348); // 347.75
        QCOMPARE(units.ToPixelsX(1), 2);     // 1.5
        QCOMPARE(units.ToPixelsY(4), 7);     // 6.5
        // A rectangle runs from its rounded left edge to its rounded right edge.
        QCOMPARE(DialogUnits(7, 16).ToPixels(313, 192, 50, 14), QRect(548, 384, 87, 28));
    }

    void qtNameFilterListsPatternsWithBlanks() {
        const std::pair<const char*, const char*> cases[] = {
            {"HTM or other web files (*.htm;*.html;*.pl;*.php)|*.htm;*.html;*.pl;*.php",
             "HTM or other web files (*.htm *.html *.pl *.php)"},
            {"all files (*.*)|*.*", "all files (*.*)"},
            {"Trelvonix project files (*.trvx)|*.trvx", "Trelvonix project files (*.trvx)"},
            {"Projects|*.trvx;*.bak", "Projects (*.trvx *.bak)"},
            {"Text files (*.txt)", "Text files (*.txt)"},
        };
        for (const auto& [filter, expected] : cases) {
            QCOMPARE(ToQtNameFilter(QString::fromUtf8(filter)), QString::fromUtf8(expected));
        }
    }
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::WindowHelpersTest)
#include "window_helpers_test.moc"
