#include <gtest/gtest.h>

#include <string>

#include "exports/app_store_pinning/feature_list.h"
#include "store/database/qv_object_database.h"

TEST(FeatureList, SetsTheFeatureOnceKeepingEveryOtherEntry) {
  struct Case {
    const char* list;  // null: the app has no list
    bool changed;
    std::string updated;
  } cases[] = {
      {nullptr, true, "+pinned"},
      {"-pinned,+other", true, "+pinned,+other"},
      {"+other", true, "+other,+pinned"},
      {"+pinned", false, ""},
      {"+Pinned", true, "+Pinned,+pinned"},
      {"", true, ",+pinned"},  // an empty text is one empty entry, which names nothing
      {"+a,,xpinned,+b,", true, "+a,,+pinned,+b,"},
      {"-pinned,-pinned", true, "+pinned,-pinned"},  // only the first match changes
      {"+other,+pinned", false, ""},
      {"pinned", true, "pinned,+pinned"},  // "p" is the state character, "inned" the name
      {"+pinned ,+ pinned", true, "+pinned ,+ pinned,+pinned"},
      {"+it's,+a'b", true, "+it's,+a'b,+pinned"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list ? c.list : "<none>");
    const std::string list = c.list ? c.list : "";
    std::string updated = "untouched";
    EXPECT_EQ(QVSetFeatureInList(c.list ? &list : nullptr, "pinned", &updated), c.changed);
    EXPECT_EQ(updated, c.changed ? c.updated : "untouched");
  }
}

TEST(FeatureList, HundredsOfEntries) {
  std::string list;
  for (int i = 0; i < 600; ++i) list += (i ? ",+f" : "+f") + std::to_string(i);
  std::string updated;
  ASSERT_TRUE(QVSetFeatureInList(&list, "pinned", &updated));
  EXPECT_EQ(updated, list + ",+pinned");

  const std::string middle = list + ",-pinned," + list;
  ASSERT_TRUE(QVSetFeatureInList(&middle, "pinned", &updated));
  EXPECT_EQ(updated, list + ",+pinned," + list);
  EXPECT_FALSE(QVSetFeatureInList(&updated, "pinned", nullptr));
}

TEST(SqlText, QuotesAreDoubled) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"plain", "plain"}, {"it's", "it''s"}, {"''", "''''"}, {"a'b'c", "a''b''c"},
  };
  for (const auto& c : cases) EXPECT_EQ(QVSqlEscape(c.first), c.second) << c.first;
}
