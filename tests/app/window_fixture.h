#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "app/main_window.h"
#include "settings/extraction_options.h"
#include "settings/ui/options_form.h"

namespace mx::test {

// The main window and its options dialog as the program entry makes them, with the window's
// message boxes collected instead of shown.
class WindowFixture : public ::testing::Test {
protected:
    void create(QStringList arguments = {}) {
        destroyWindow();
        m_form = std::make_unique<TForm1>(m_options, arguments);
        m_form->showError = [this](const QString& text) { m_errors << text; };
        m_form->showUsageBox = [this](const QString& text) { m_usages << text; };
        m_dialog = std::make_unique<TOptionsForm>(m_options, m_form.get());
        m_form->setOptionsForm(m_dialog.get());
    }

    void destroyWindow() {
        m_dialog.reset();  // a child of the window: goes first
        m_form.reset();
    }

    ExtractionOptions m_options;
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TOptionsForm> m_dialog;
    QStringList m_errors;
    QStringList m_usages;
};

}  // namespace mx::test
