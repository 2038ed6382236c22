// The century dataset: every text is drawn from small vocabularies with a seed of its own, so a
// day's text is the same whichever benchmark asks for it and in whatever order.
#include "bench/century.h"

#include <cmath>
#include <random>

#include "core/stores.h"

namespace bench {

namespace st = runtime::store;

namespace {

// Words of an ordinary diary. None holds a character of the rare keyword.
const char* const kWords[] = {
    "今天", "早上", "中午", "晚上", "起床", "上班", "下班", "开会", "同事", "朋友",   "家人", "孩子", "父母",
    "吃饭", "散步", "公园", "跑步", "读书", "写字", "电影", "音乐", "超市", "买菜",   "做饭", "打扫", "房间",
    "心情", "不错", "有点", "累了", "高兴", "难过", "计划", "明天", "周末", "出差",   "火车", "飞机", "城市",
    "下雨", "晴朗", "阴天", "刮风", "温度", "很冷", "很热", "学习", "工作", "项目",   "完成", "进度", "老师",
    "医院", "检查", "身体", "健康", "锻炼", "休息", "睡觉", "醒来", "想起", "小时候", "故乡", "春节", "中秋",
    "生日", "礼物", "电话", "聊天", "邻居", "小狗", "花草", "浇水", "阳台", "窗外",   "风景", "照片", "记录"};
const char* const kPunctuation[] = {"，", "，", "，", "。", "。", "！", "；"};
const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄",   "赵",  "吴", "周", "徐",
                                 "孙", "马", "朱", "胡", "郭", "何", "高",   "林",  "罗", "郑", "梁",
                                 "谢", "宋", "唐", "许", "韩", "冯", "邓",   "曹",  "彭", "曾", "肖",
                                 "田", "董", "袁", "潘", "于", "蒋", "蔡",   "余",  "杜", "叶", "程",
                                 "苏", "魏", "吕", "丁", "任", "沈", "欧阳", "司马"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇",
                              "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平", "刚", "桂",
                              "英", "华", "文", "辉", "建", "玲", "志", "红", "鹏", "宇", "浩",
                              "晨", "欣", "怡", "子", "涵", "雨", "萱", "思", "博"};
const char* const kNotes[] = {"大学同学", "老同事",     "邻居",     "表哥",   "客户",
                              "医生",     "孩子的老师", "房东",     "球友",   "驾校教练",
                              "小区物业", "老家亲戚",   "合作伙伴", "书友会", "健身房"};
const char* const kItemTexts[] = {"交房租",   "妈妈生日", "体检",     "还信用卡", "续交保险", "结婚纪念日",
                                  "给花浇水", "缴电费",   "车辆年检", "同学聚会", "交物业费", "换季整理衣物"};
const char* const kUnits[] = {"年", "月", "周", "日"};

template <typename T, std::size_t N>
const T& pick(std::mt19937& rng, const T (&from)[N]) {
    return from[rng() % N];
}

}  // namespace

std::string diaryText(int day, int variant) {
    std::mt19937 rng(static_cast<unsigned>(day) * 7919u + static_cast<unsigned>(variant) * 104729u + 1u);
    std::string text = "第" + std::to_string(day + 1) + "天";
    if (variant > 0) text += "（改" + std::to_string(variant) + "）";
    text += "：";
    const bool rare = day % 1000 == 100;
    while (text.size() < 1000) {
        // About one word in twenty-five is the common keyword: almost every day holds it.
        text += rng() % 25 == 0 ? kCommonKeyword : pick(rng, kWords);
        if (rng() % 4 == 0) text += pick(rng, kPunctuation);
        if (rare && text.size() > 500 && text.find(kRareKeyword) == std::string::npos) text += kRareKeyword;
    }
    return text + "。";
}

Century makeCentury(runtime::DateTime today, double scale) {
    auto scaled = [scale](double n) { return std::max(1, static_cast<int>(std::lround(n * scale))); };
    Century c;
    const int days = scaled(kCenturyDays);
    const double first = std::floor(today.days) - days;
    c.diary.reserve(static_cast<std::size_t>(days));
    for (int d = 0; d < days; ++d) c.diary.push_back({runtime::DateTime{first + d}, diaryText(d)});

    std::mt19937 rng(1926);
    for (int i = 0, n = scaled(kCenturyItems); i < n; ++i) {
        const double start = std::floor(today.days) - static_cast<double>(rng() % 36500);
        std::string text = pick(rng, kItemTexts);
        if (i % 100 == 50) text += std::string("，带上") + kRareKeyword;
        c.items.push_back({runtime::DateTime{start}, static_cast<int32_t>(1 + rng() % 12),
                           std::string(pick(rng, kUnits)), text});
    }
    for (int i = 0, n = scaled(kCenturyContacts); i < n; ++i) {
        std::string name = std::string(pick(rng, kSurnames)) + pick(rng, kGiven);
        if (rng() % 3 != 0) name += pick(rng, kGiven);
        std::string phone = "1" + std::to_string(3 + rng() % 7);
        for (int k = 0; k < 9; ++k) phone += static_cast<char>('0' + rng() % 10);
        std::string note = pick(rng, kNotes);
        if (i % 1000 == 500) note += std::string("，会弹") + kRareKeyword;
        c.contacts.push_back({name, phone, note});
    }
    const std::size_t memoBytes = static_cast<std::size_t>(scaled(static_cast<double>(kCenturyMemoBytes)));
    for (int part = 0; c.memo.size() < memoBytes; ++part) c.memo += diaryText(1000000 + part) + "\n";
    return c;
}

bool fillOpenStores(const Century& century) {
    return st::selectDatabase("rz35") && st::addRecords(century.diary) && st::selectDatabase("tx35") &&
           st::addRecords(century.items) && st::selectDatabase("lxr35") && st::addRecords(century.contacts) &&
           st::selectDatabase("bw35") && st::addRecords({{century.memo}});
}

bool writeDataFolder(const std::string& dataFolder, const Century& century, const std::string& password) {
    for (const char* file : {"rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"}) {
        if (!core::writeTemplateInto(dataFolder, file)) return false;
    }
    bool ok = true;
    for (const char* store : {"rz35", "tx35", "bw35", "lxr35"})
        ok = ok && st::openDatabase(dataFolder + "/" + store + ".edb");
    ok = ok && fillOpenStores(century);
    for (const char* store : {"rz35", "tx35", "bw35", "lxr35"}) {
        if (ok && !password.empty()) ok = st::selectDatabase(store) && st::setDatabasePassword(password);
    }
    st::closeAllDatabases();
    return ok;
}

}  // namespace bench
