// Takes the README's screenshots in one language: the main window during a run, the options
// dialog, the about box and the help viewer. Run it under a display (scripts/screenshots.sh
// starts Xvfb):
//   mx_screenshots <program folder> <output folder> <suffix> <clip>...
// The program folder holds the settings file (whose [Form] language picks the language) and the
// language files; the pictures are named main_window<suffix>.png and so on.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

#include "app/application_title.h"
#include "app/main_window.h"
#include "core/native_path.h"
#include "core/program_folder.h"
#include "help/form_about.h"
#include "help/help_bridge.h"
#include "help/help_window.h"
#include "i18n/language_manager.h"
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
    if (args.size() < 5) {
        qWarning("usage: mx_screenshots <program folder> <output folder> <suffix> <clip>...");
        return 2;
    }
    mx::setProgramFolderForTesting(args[1]);
    const QString out = args[2];
    const QString suffix = args[3];
    auto picture = [&](const char* name) {
        return out + QLatin1Char('/') + QString::fromLatin1(name) + suffix + QStringLiteral(".png");
    };
    mx::setApplicationTitle(QStringLiteral("Moxelby Frame Extractor"));
    mx::setHelpMessageFunction([](const QString& text) { qWarning("%s", qPrintable(text)); });
    mx::HelpModule helpModule;

    mx::ExtractionOptions options;
    mx::TForm1 form(options, {});
    form.showError = [](const QString& text) { qWarning("%s", qPrintable(text)); };
    mx::TOptionsForm dialog(options, &form);
    form.setOptionsForm(&dialog);
    mx::TFormAbout about(&form);
    form.setAboutForm(&about);
    form.show();
    form.FormActivate();
    form.dropPaths(args.mid(4));

    // The picture of the run is taken while the second file is being worked on.
    bool taken = false;
    QObject::connect(&form.activityLog(), &mx::ActivityLog::rowAppended, &form, [&](int index) {
        if (!taken && index >= 0 &&
            form.activityLog().rows()[size_t(index)].text.startsWith(QLatin1String("open-")) &&
            form.allPos() == 1) {
            taken = true;
            save(&form, picture("main_window"));
        }
    });
    QTimer::singleShot(300, &form, [&] {
        form.StartExtractBtnClick();
        QCoreApplication::processEvents();
        if (!taken) {
            save(&form, picture("main_window"));
        }
        // The dialog's list shows the language it is in.
        {
            const QSignalBlocker blocker(dialog.cbblang());
            for (int i = 0; i < mx::LangManager().GetLanguageCount(); ++i) {
                if (mx::LangManager().GetLanguageIdAt(i) ==
                    mx::LangManager().GetCurrentLanguage()) {
                    dialog.cbblang()->setCurrentIndex(i);
                }
            }
        }
        dialog.show();
        QTimer::singleShot(300, &form, [&] {
            save(&dialog, picture("options_dialog"));
            dialog.hide();
            about.show();
            QTimer::singleShot(300, &form, [&] {
                save(&about, picture("about_box"));
                about.hide();
                form.AboutBtnClick();  // the Help button
                QTimer::singleShot(500, &form, [&] {
                    if (helpModule.viewer() && helpModule.viewer()->window()) {
                        save(helpModule.viewer()->window(), picture("help_viewer"));
                    }
                    app.quit();
                });
            });
        });
    });
    return app.exec();
}
