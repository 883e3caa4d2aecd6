// GoogleTest main for widget tests: a QApplication on the offscreen platform (unless the
// environment names another), with the user's config folder pointed at a fresh temporary one,
// and a private runtime folder when the environment has none (as in a build that lists the
// tests, or a container shell).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "ui/Style.h"

#define CORVANE_QT_TEST_MAIN()                             \
  int main(int argc, char** argv) {                        \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {  \
      qputenv("QT_QPA_PLATFORM", "offscreen");             \
    }                                                      \
    QTemporaryDir config;                                  \
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());    \
    QTemporaryDir runtime;                                 \
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {  \
      qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8()); \
    }                                                      \
    ::testing::InitGoogleTest(&argc, argv);                \
    QApplication app(argc, argv);                          \
    corvane::ui::applyPlatformLook(app);                   \
    return RUN_ALL_TESTS();                                \
  }
