// The models of the lists the windows show.
#include "data/records/ui/catalogue_list_model.h"
#include "data/tdm.h"

#include <gtest/gtest.h>

using namespace zartav;

TEST(ListModels, TheCatalogueGridShowsEveryColumn) {
    TDM dm;
    const CatalogueListModel model(dm.TDosSperm);
    EXPECT_EQ(model.columnCount(), 31);
}
