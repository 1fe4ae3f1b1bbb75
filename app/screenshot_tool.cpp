// Takes the README's screenshots: the main window during a run and the options dialog. Run it
// under a display (scripts/screenshots.sh starts Xvfb):
//   mx_screenshots <program folder> <output folder> <clip>...
// The program folder holds the settings file and the language files the windows use.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include "app/application_title.h"
#include "app/main_window.h"
#include "core/native_path.h"
#include "core/program_folder.h"
#include "help/help_bridge.h"
#include "help/help_window.h"
#include "settings/ui/options_form.h"

namespace {

void save(QWidget* window, const QString& path) {
    QCoreApplication::processEvents();
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    (shot.isNull() ? window->grab() : shot).save(path);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args;  // by their bytes: clip names need not be UTF-8
    for (int i = 0; i < argc; ++i) {
        args << mx::decodeNativePath(argv[i]);
    }
    if (args.size() < 4) {
        qWarning("usage: mx_screenshots <program folder> <output folder> <clip>...");
        return 2;
    }
    mx::setProgramFolderForTesting(args[1]);
    const QString out = args[2];
    mx::setApplicationTitle(QStringLiteral("Moxelby Frame Extractor"));
    mx::setHelpMessageFunction([](const QString& text) { qWarning("%s", qPrintable(text)); });
    mx::HelpModule helpModule;

    mx::ExtractionOptions options;
    mx::TForm1 form(options, {});
    form.showError = [](const QString& text) { qWarning("%s", qPrintable(text)); };
    mx::TOptionsForm dialog(options, &form);
    form.setOptionsForm(&dialog);
    form.show();
    form.FormActivate();
    form.dropPaths(args.mid(3));

    // The picture of the run is taken while the second file is being worked on.
    bool taken = false;
    QObject::connect(&form.activityLog(), &mx::ActivityLog::rowAppended, &form, [&](int index) {
        if (!taken && index >= 0 &&
            form.activityLog().rows()[size_t(index)].text.startsWith(QLatin1String("open-")) &&
            form.allPos() == 1) {
            taken = true;
            save(&form, out + QStringLiteral("/main_window.png"));
        }
    });
    QTimer::singleShot(300, &form, [&] {
        form.StartExtractBtnClick();
        QCoreApplication::processEvents();
        if (!taken) {
            save(&form, out + QStringLiteral("/main_window.png"));
        }
        dialog.show();
        QTimer::singleShot(300, &form, [&] {
            save(&dialog, out + QStringLiteral("/options_dialog.png"));
            dialog.hide();
            form.AboutBtnClick();  // the Help button
            QTimer::singleShot(500, &form, [&] {
                if (helpModule.viewer() && helpModule.viewer()->window()) {
                    save(helpModule.viewer()->window(), out + QStringLiteral("/help_viewer.png"));
                }
                app.quit();
            });
        });
    });
    return app.exec();
}
