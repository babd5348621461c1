// SPDX-License-Identifier: MIT
#include "mqtt_sink.h"

#include <gtest/gtest.h>
TEST(Mqtt, Placeholder) {}
