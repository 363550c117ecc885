// The tests' side of the fixture: a step that went wrong fails the test.
#include <gtest/gtest.h>

#include "fixture.h"

void fixtureFailed(const std::string& what) { ADD_FAILURE() << what; }
