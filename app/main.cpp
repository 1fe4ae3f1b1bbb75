#include <QApplication>

#include "app/application_title.h"
#include "app/main_window.h"
#include "core/allocator_tuning.h"
#include "help/form_about.h"
#include "help/help_bridge.h"
#include "settings/extraction_options.h"
#include "settings/ui/options_form.h"
#include "widgets/design_scale.h"

int main(int argc, char** argv) {
    mx::tuneAllocatorForLargeFrames();
    // Any argument at all shows the usage text, Qt's own options (-style, -reverse, ...)
    // included: QApplication takes those out of argv, so the arguments are read before it.
    const QStringList arguments = mx::commandLineArguments(argc, argv);
    QApplication app(argc, argv);
    mx::registerDesignFace();  // the windows and the help topics ask for it from the start
    mx::setApplicationTitle(QStringLiteral("Moxelby Frame Extractor"));
    mx::HelpModule helpModule;  // before any window; ends before the application object

    mx::ExtractionOptions options;
    mx::TForm1 form1(options, arguments);
    mx::TOptionsForm optionsForm(options, &form1);
    form1.setOptionsForm(&optionsForm);
    mx::TFormAbout aboutForm(&form1);
    form1.setAboutForm(&aboutForm);
    form1.show();
    return app.exec();
}
