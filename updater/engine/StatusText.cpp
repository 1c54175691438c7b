#include "StatusText.h"

namespace {

const char* const kStatusTexts[] = {
    "초기화 합니다.",
    "설정파일을 읽어드립니다.",
    "업데이트 서버에 접속합니다.",
    "버전 정보를 가져옵니다.",
    "버전 정보를 분석합니다.",
    "업데이트된 파일(들)을 다운로드 합니다.",
    "업데이트된 파일(들)을 등록합니다.",
    "프로그램을 실행합니다.",
    "업데이트를 마칩니다.",
};

} // namespace

const char* StatusText(int code) {
    if (code < STATUS_INIT || code > STATUS_FINISH)
        return "";
    return kStatusTexts[code];
}
