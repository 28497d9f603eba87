#include "engine/playlist/av_playlist.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vexo {
namespace {

std::vector<std::string> Paths(const TAVPlayList& list) {
  std::vector<std::string> paths;
  for (int i = 0; i < list.Count(); ++i) paths.push_back(list.Strings(i));
  return paths;
}

// The player control fills items in play order with a running start frame.
void FillTiming(TAVPlayList& list, const std::vector<std::pair<int32_t, double>>& files) {
  int32_t start = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    list.SetItemInfo(static_cast<int>(i), files[i].first, files[i].second, start);
    start += files[i].first;
  }
}

TEST(PlayListItem, ItemsTileTheTimelineInPlayOrder) {
  TAVPlayList list;
  list.Add("/media/a.avi");
  list.Add("D:\\Video\\b.mpg");
  FillTiming(list, {{250, 25.0}, {100, 50.0}});

  struct Expected {
    const char* name;
    int32_t start, end, count;
    double rate, seconds;
    int32_t ms;
  };
  const Expected expected[] = {{"a.avi", 0, 249, 250, 25.0, 10.0, 10000},
                               {"b.mpg", 250, 349, 100, 50.0, 2.0, 2000}};
  for (int i = 0; i < 2; ++i) {
    const Expected& e = expected[i];
    const TPlayListItem* item = list.GetItem(i);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Name(), e.name);
    EXPECT_EQ(item->StartFrame(), e.start);
    EXPECT_EQ(item->EndFrame(), e.end);
    EXPECT_EQ(item->FrameCount(), e.count);
    EXPECT_DOUBLE_EQ(item->FrameRate(), e.rate);
    EXPECT_DOUBLE_EQ(item->Duration(), e.seconds);
    EXPECT_EQ(item->DurationMs(), e.ms);
  }
}

TEST(PlayListItem, DurationIsZeroWhenTheFrameRateIsUnusable) {
  for (double rate : {0.0, std::numeric_limits<double>::quiet_NaN()}) {
    TPlayListItem item("x.avi", 100, rate, 0);
    EXPECT_EQ(item.Duration(), 0) << rate;
    EXPECT_EQ(item.DurationMs(), 0) << rate;
  }
  TPlayListItem no_frames("x.avi", 0, 0, 0);
  EXPECT_EQ(no_frames.EndFrame(), -1);
}

TEST(PlayListItem, DurationMsRoundsHalvesToEven) {
  struct Case {
    int32_t frames;
    double rate;
    int32_t ms;
  };
  // 1/400 s = 2.5 ms, 3/2000 s = 1.5 ms, 5/400 s = 12.5 ms, 1/3 s = 333.33 ms.
  for (const Case& c :
       {Case{1, 400, 2}, Case{3, 2000, 2}, Case{5, 400, 12}, Case{1, 3, 333}, Case{2, 3, 667}}) {
    TPlayListItem item("x", c.frames, c.rate, 0);
    EXPECT_EQ(item.DurationMs(), c.ms) << c.frames << "/" << c.rate;
  }
  // Far beyond 32 bits of milliseconds: clamped, not undefined.
  EXPECT_EQ(TPlayListItem("x", 2000000000, 0.001, 0).DurationMs(),
            std::numeric_limits<int32_t>::max());
}

TEST(PlayList, SetItemInfoReplacesAndAllItemsKnownNeedsEveryEntry) {
  TAVPlayList list;
  EXPECT_TRUE(list.AllItemsKnown());
  list.Add("a.avi");
  list.Add("b.avi");
  EXPECT_FALSE(list.AllItemsKnown());
  list.SetItemInfo(1, 10, 25, 0);
  EXPECT_FALSE(list.AllItemsKnown());
  list.SetItemInfo(0, 10, 25, 0);
  EXPECT_TRUE(list.AllItemsKnown());

  list.SetItemInfo(0, 50, 25, 7);
  EXPECT_EQ(list.GetItem(0)->StartFrame(), 7);
  EXPECT_EQ(list.GetItem(0)->FrameCount(), 50);
  EXPECT_EQ(list.Objects(0), list.GetItem(0));

  list.Add("c.avi");
  EXPECT_FALSE(list.AllItemsKnown());
}

TEST(PlayList, ItemNameIsTheFileNamePartOfTheEntry) {
  const std::pair<const char*, const char*> cases[] = {
      {"/home/anna/Videos/clip1.avi", "clip1.avi"},
      {"D:\\Video\\clip1.avi", "clip1.avi"},
      {"C:clip.avi", "clip.avi"},
      {"relative/dir/x y.mp4", "x y.mp4"},
      {"plain.mov", "plain.mov"},
      {"/ends/with/slash/", ""},
  };
  TAVPlayList list;
  for (const auto& [path, name] : cases) {
    const int index = list.Add(path);
    list.SetItemInfo(index, 1, 25, 0);
    EXPECT_EQ(list.GetItem(index)->Name(), name) << path;
  }
}

TEST(PlayList, EntriesAreKeptExactlyAndItemsFollowTheirEntries) {
  TAVPlayList list;
  for (const char* path : {"./a.avi", "b.avi", "b.avi", " spaced .mpg ", "/x/../y/c.mp4"})
    list.Add(path);
  EXPECT_EQ(Paths(list), (std::vector<std::string>{"./a.avi", "b.avi", "b.avi", " spaced .mpg ",
                                                   "/x/../y/c.mp4"}));

  for (int i = 0; i < list.Count(); ++i) list.SetItemInfo(i, i + 1, 25, 0);
  list.Move(0, 3);  // a.avi moves behind " spaced .mpg "
  EXPECT_EQ(Paths(list), (std::vector<std::string>{"b.avi", "b.avi", " spaced .mpg ", "./a.avi",
                                                   "/x/../y/c.mp4"}));
  EXPECT_EQ(list.GetItem(3)->FrameCount(), 1);
  list.Move(4, 1);
  EXPECT_EQ(list.Strings(1), "/x/../y/c.mp4");
  EXPECT_EQ(list.GetItem(1)->FrameCount(), 5);

  list.Exchange(0, 4);
  EXPECT_EQ(list.Strings(0), "./a.avi");
  EXPECT_EQ(list.GetItem(0)->FrameCount(), 1);

  list.Insert(1, "new.avi");
  EXPECT_EQ(list.Strings(1), "new.avi");
  EXPECT_EQ(list.GetItem(1), nullptr);
  EXPECT_EQ(list.GetItem(2)->FrameCount(), 5);

  list.Delete(1);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_TRUE(list.AllItemsKnown());
  list.Insert(5, "last.avi");
  EXPECT_EQ(list.Strings(5), "last.avi");
}

TEST(PlayList, IndicesOutOfRangeThrow) {
  TAVPlayList list;
  list.Add("a.avi");
  EXPECT_THROW(list.Strings(1), std::out_of_range);
  EXPECT_THROW(list.GetItem(-1), std::out_of_range);
  EXPECT_THROW(list.SetItemInfo(1, 1, 1, 0), std::out_of_range);
  EXPECT_THROW(list.Delete(1), std::out_of_range);
  EXPECT_THROW(list.Insert(2, "x"), std::out_of_range);
  EXPECT_THROW(list.Move(0, 1), std::out_of_range);
  EXPECT_THROW(list.Exchange(0, 1), std::out_of_range);
  EXPECT_EQ(list.Count(), 1);
}

TEST(PlayList, AssignPlayListCopiesPathsNamesAndFreshItems) {
  TAVPlayList source;
  source.Add("/v/a.avi");
  source.Add("/v/b.avi");
  FillTiming(source, {{250, 25.0}, {100, 50.0}});
  source.SetOpening(true);

  TAVPlayList copy;
  copy.Add("stale.avi");
  copy.AssignPlayList(source);
  EXPECT_EQ(Paths(copy), Paths(source));
  EXPECT_EQ(copy.FileName(), source.FileName());
  EXPECT_FALSE(copy.Opening());
  for (int i = 0; i < 2; ++i) {
    const TPlayListItem* item = copy.GetItem(i);
    ASSERT_NE(item, nullptr);
    EXPECT_NE(item, source.GetItem(i));
    EXPECT_EQ(item->Name(), source.GetItem(i)->Name());
    EXPECT_EQ(item->StartFrame(), source.GetItem(i)->StartFrame());
    EXPECT_EQ(item->EndFrame(), source.GetItem(i)->EndFrame());
    EXPECT_EQ(item->DurationMs(), source.GetItem(i)->DurationMs());
  }

  // The copy outlives changes to the source.
  source.Clear();
  EXPECT_EQ(copy.GetItem(1)->Name(), "b.avi");

  copy.AssignPlayList(copy);
  EXPECT_EQ(copy.Count(), 2);
}

TEST(PlayList, AssignPlayListRefusesASourceWithoutTimingAndKeepsTheTarget) {
  TAVPlayList source;
  source.Add("a.avi");
  TAVPlayList target;
  target.Add("kept.avi");
  EXPECT_THROW(target.AssignPlayList(source), std::invalid_argument);
  EXPECT_EQ(Paths(target), std::vector<std::string>{"kept.avi"});
}

TEST(PlayList, ClearDropsEntriesItemsAndNames) {
  TAVPlayList list;
  list.Add("a.avi");
  list.SetItemInfo(0, 1, 1, 0);
  list.SetOpening(true);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FileName(), "");
  EXPECT_EQ(list.Name(), "");
  EXPECT_TRUE(list.Opening());  // owned by the caller, not by the list
}

}  // namespace
}  // namespace vexo
