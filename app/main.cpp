#include <QApplication>

#include "app/application_title.h"
#include "app/main_window.h"
#include "settings/extraction_options.h"
#include "settings/ui/options_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    mx::setApplicationTitle(QStringLiteral("Moxelby Frame Extractor"));

    mx::ExtractionOptions options;
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    mx::TForm1 form1(options, arguments);
    mx::TOptionsForm optionsForm(options, &form1);
    form1.setOptionsForm(&optionsForm);
    form1.show();
    return app.exec();
}
