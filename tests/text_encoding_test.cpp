// The encoding the game writes in, chosen from the locale's name.
#include "console/text_encoding.h"

#include <gtest/gtest.h>

TEST(TextEncodingChoice, TheLocalesCharacterSetDecides)
{
    for (const char* gbk : {"zh_CN.GBK", "zh_CN.gb2312", "zh_CN.GB18030", "zh_CN.cp936", "zh_CN.EUC-CN",
                            "zh_CN.gbk@pinyin", "C.GB-2312", "zh_CN", "zh_SG", "zh_CN@pinyin"}) {
        EXPECT_EQ(encodingOfLocale(gbk), TextEncoding::Gbk) << gbk;
    }
    for (const char* other :
         {"zh_CN.UTF-8", "C", "POSIX", "en_US.utf8", "zh_TW", "zh_HK", "", "zh_CN.GBKX", "zh_CNX", "en_US@zh_CN"}) {
        EXPECT_EQ(encodingOfLocale(other), TextEncoding::Utf8) << other;
    }
}
