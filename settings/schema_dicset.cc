// SPDX-License-Identifier: MIT
// Rows of the dictionary sets, the mode-linked dictionaries and the
// input-saving data, with the staging globals they fill. Section or key names
// that carry a number are built by the loader in the name buffers below.
#include "settings/schema.h"

unsigned short* lpwszDicSetTitle;
char* UserDicTmp[2];
char* SysDicTmp[3];
char* SysDicNameAndSwitch[10][3];
char* LinkDicTmp[3];
char* ArUserData[2];
char* ArDataTmp[3];
char* ArSysData[10][3];
z2_u32 uDicGakuMode, uEijiRegType, uKyokiGakMode, uJappKugiri, uJappNormFuku, uJappMitouroku, uJappEijiAto,
    uJappKataAto, uJappHiraAto, uJappEijiFuku, uBackGround;
char rgchDicSetSec[32];
char rgchSysDicEnt[32];
char rgchLinkDicEnt[32];

namespace z2 {

char rgchArDataEnt[32];

using namespace z2w;

#define SET_ONOFF(dest, key) \
    Z2_ROW(dest, 1, rgchDicSetSec, key, PROF_CHOICE, 2, 0, 0, -1, Z2V(0, 1), Z2W_(v_shinai, v_suru))
// "しない" 0, "する(強)" 1, "一時" 2, "する(弱)" 3
#define SET_JAPP(dest, key)                                                             \
    Z2_ROW(dest, 1, rgchDicSetSec, key, PROF_CHOICE, 4, 0, 0, -1, Z2V(0, 1, 2, 3), \
           Z2W_(v_shinai, v_suru_kyou, v_ichiji, v_suru_jaku))
#define LIST(dest, sec, key) Z2_ROW(dest, 1, sec, key, PROF_STRLIST, Z2_TEXT_BUF, 0, 0, 0, (), ())

tag_ProfItem const kDicSetItems[13] = {
    Z2_ROW(lpwszDicSetTitle, 1, rgchDicSetSec, key_pwzDicSetTitle, PROF_UTF16, Z2_TEXT_BUF, 0, 0, 0, (), ()),
    LIST(UserDicTmp, rgchDicSetSec, key_pszUserDic),
    SET_ONOFF(uDicGakuMode, key_byDicGakuMode),
    SET_ONOFF(uEijiRegType, key_byEijiRegType),
    Z2_ROW(uKyokiGakMode, 1, rgchDicSetSec, key_byKyokiGakMode, PROF_CHOICE, 3, 0, 0, -1, Z2V(0, 1, 2),
           Z2W_(v_shinai, v_suru_kani, v_suru_shousai)),
    SET_JAPP(uJappKugiri, key_byJappKugiri),
    SET_JAPP(uJappNormFuku, key_byJappNormFuku),
    SET_JAPP(uJappMitouroku, key_byJappMitouroku),
    SET_JAPP(uJappEijiAto, key_byJappEijiAto),
    SET_JAPP(uJappKataAto, key_byJappKataAto),
    SET_JAPP(uJappHiraAto, key_byJappHiraAto),
    SET_JAPP(uJappEijiFuku, key_byJappEijiFuku),
    SET_ONOFF(uBackGround, key_bBackGround),
};

tag_ProfItem const kSysDicItem = LIST(SysDicTmp, rgchDicSetSec, rgchSysDicEnt);
tag_ProfItem const kLinkDicItem = LIST(LinkDicTmp, sec_modelink, rgchLinkDicEnt);
tag_ProfItem const kArUserItem = LIST(ArUserData, sec_shonyu, key_pszArUserDic);
tag_ProfItem const kArSystemItem = LIST(ArDataTmp, sec_shonyu, rgchArDataEnt);

}  // namespace z2
