#pragma once

// What every test file needs: the harness, gtest and the Qt and POSIX
// headers the tests share, so each file lists only what it tests.
#include "DoubledServices.h"
#include "EventLoop.h"
#include "HelperProcess.h"
#include "TestHome.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
