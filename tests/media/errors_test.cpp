#include "device/pack_error.h"
#include "media/media_error.h"

#include <gtest/gtest.h>

using namespace tovi;

TEST(Errors, PackRollbackAppendsPathDirectly) {
    PackError error(PackError::rollbackFailed, QStringLiteral("/tmp/x"));
    EXPECT_EQ(error.message(), QStringLiteral("Zapis przerwano i nie udało się przywrócić "
                                              "wszystkich plików. Kopia jest zachowana: /tmp/x"));
}
