#include "Vocabulary.h"

namespace pvsm {

namespace {

constexpr VocabularyEntry kScaleModes[] = {
    {0, "正常居中"},
    {1, "原始大小位置随机"},
    {2, "原始大小平铺"},
    {3, "全屏保持宽高比例"},
    {4, "全屏拉伸"},
};

constexpr VocabularyEntry kGradientModes[] = {
    {0, "水平"},
    {1, "垂直"},
    {2, "左上到右下"},
    {3, "右上到左下"},
};

constexpr VocabularyEntry kBackgroundPictureModes[] = {
    {2, "原始大小平铺"},
    {4, "全屏拉伸"},
};

constexpr VocabularyEntry kPlayModes[] = {
    {0, "显示信息窗体，点击<播放>按钮后全屏播放"},
    {1, "运行EXE文件后直接全屏播放"},
    {2, "显示信息窗体，点击<播放>按钮后80%屏幕播放"},
};

constexpr VocabularyEntry kLyricStyles[] = {
    {0, "一行静态字"},
    {1, "两行静态字"},
    {2, "一行动态字 (并不完全对应，仅模拟)"},
    {3, "两行动态字 (并不完全对应，仅模拟)"},
};

constexpr VocabularyEntry kTitleStyles[] = {
    {0, "无"},
    {1, "淡入淡出"},
    {2, "从左到右"},
};

constexpr VocabularyEntry kHeadlineEffects[] = {
    {0, "淡入淡出", 1, false},
    {1, "从左到右", 1, false},
    {2, "滑入显示(4)(#)", 4, true},
    {3, "颤抖(#)", 1, true},
    {4, "伸缩显示(#)", 1, true},
    {5, "放大(#)", 1, true},
    {6, "缩小(#)", 1, true},
    {7, "跳出来(#)", 1, true},
    {8, "文字聚集(#)", 1, true},
};

constexpr VocabularyEntry kTransitions[] = {
    {0, "随机线条切换(2)", 2, false},
    {1, "卷轴切换一(4)(#)", 4, true},
    {2, "卷轴切换二(2)(#)", 2, true},
    {3, "矩形切换(2)", 2, false},
    {4, "花式方格切换", 1, false},
    {5, "集合分散切换(2)(#)", 2, true},
    {6, "百叶窗切换(2)", 2, false},
    {7, "滚动切换(4)(#)", 4, true},
    {8, "旋转飞散(2)", 2, false},
    {9, "卷帘切换一(4)", 4, false},
    {10, "卷帘切换二(2)", 2, false},
    {11, "滑入切换(4)(#)", 4, true},
    {12, "斜向滑入切换(4)(#)", 4, true},
    {13, "推拉切换(4)(#)", 4, true},
    {14, "交替切换(4)(#)", 4, true},
    {15, "淡入淡出", 1, false},
    {16, "缩放切换(2)(#)", 2, true},
    {17, "变焦切换(2)(#)", 2, true},
    {18, "揭页切换(2)(#)", 2, true},
    {19, "负片切换(#)", 1, true},
    {20, "垂帘切换(#)", 1, true},
    {21, "旋转方块(2)", 2, false},
    {22, "卷帘切换三(2)", 2, false},
};

static_assert(std::size(kTransitions) == kTransitionCount);
static_assert(std::size(kHeadlineEffects) == kHeadlineEffectCount);

} // namespace

std::span<const VocabularyEntry> vocabulary(VocabularyList list)
{
    switch (list) {
    case VocabularyList::ScaleMode: return kScaleModes;
    case VocabularyList::GradientMode: return kGradientModes;
    case VocabularyList::BackgroundPictureMode: return kBackgroundPictureModes;
    case VocabularyList::PlayMode: return kPlayModes;
    case VocabularyList::LyricStyle: return kLyricStyles;
    case VocabularyList::TitleStyle: return kTitleStyles;
    case VocabularyList::HeadlineEffect: return kHeadlineEffects;
    case VocabularyList::Transition: return kTransitions;
    }
    return {};
}

QString vocabularyText(VocabularyList list, int index)
{
    const auto entries = vocabulary(list);
    if (index < 0 || index >= static_cast<int>(entries.size())) return {};
    return QString::fromUtf8(entries[index].text);
}

int vocabularyDefaultIndex(VocabularyList list)
{
    switch (list) {
    case VocabularyList::ScaleMode: return 3;
    case VocabularyList::GradientMode: return 1;
    case VocabularyList::BackgroundPictureMode: return 0;
    case VocabularyList::PlayMode: return 0;
    case VocabularyList::LyricStyle: return 1;
    case VocabularyList::TitleStyle: return 1;
    case VocabularyList::HeadlineEffect: return 0;
    case VocabularyList::Transition: return 0; // all entries are selected; see StyleSelect
    }
    return 0;
}

} // namespace pvsm
