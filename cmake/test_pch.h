// What nearly every test includes, precompiled once for every target under
// tests/ (cmake/BuildSpeed.cmake): the shared Qt headers, the whole of
// QtTest and the system tests' harness.
#pragma once
#include "cmake/qt_pch.h"

#include <QTcpSocket>
#include <QtTest>

#include "tests/support/panel_harness.h"
