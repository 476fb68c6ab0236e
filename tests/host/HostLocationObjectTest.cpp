#include "HostLocationObject.h"

#include <gtest/gtest.h>

#include "GeneralItem.h"

namespace zentora::host {
namespace {

TEST(HostLocationObject, KeepsWhatTheComponentWrites) {
  HostLocationObject location("zentora://Adressen");
  EXPECT_FALSE(location.Changed());
  EXPECT_EQ(location.ChangeCounter(), 0);
  location.SetChanged(true);
  location.SetChangeCounter(-3);
  location.SetChangeTime(3600.5F);
  EXPECT_TRUE(location.Changed());
  EXPECT_EQ(location.ChangeCounter(), -3);
  EXPECT_FLOAT_EQ(location.ChangeTime(), 3600.5F);
  EXPECT_EQ(location.ReferenceText(), "zentora://Adressen");
}

TEST(HostLocationObject, OffersWhatTheHostSetsUp) {
  HostLocationObject location;
  EXPECT_FALSE(location.Hold());
  EXPECT_EQ(location.Topics(), nullptr);
  EXPECT_EQ(location.SettingsItem(), nullptr);
  location.SetHold(true);
  auto settings = std::make_shared<GeneralItem>();
  location.SetSettingsItem(settings);
  EXPECT_TRUE(location.Hold());
  EXPECT_EQ(location.SettingsItem(), settings);
  location.SetSettingsItem(nullptr);
  EXPECT_EQ(location.SettingsItem(), nullptr);
}

}  // namespace
}  // namespace zentora::host
