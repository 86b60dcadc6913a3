#pragma once

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Forms.h"
#include "ui/UiSupport.h"

namespace orvanta::test {

// Runs `action` on the next modal dialog as soon as it is open (Qt runs modal dialogs
// in their own event loop, so a test cannot act on them after exec() returns).
inline void WhenModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            action(modal);
        } else {
            WhenModal(action);
        }
    });
}

// The forms of the program, made anew for each test; failures the program would show
// in a message box are collected instead.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::SetErrorReporter([this](const QString& text) { errors.push_back(text.toStdString()); });
        ui::CreateForms();
    }
    void TearDown() override {
        ui::DestroyForms();
        ui::SetErrorReporter(nullptr);
        ui::SetClock(nullptr);
    }
    std::vector<std::string> errors;
};

}  // namespace orvanta::test
