// Every text the launcher shows in a message box, with the boxes' captions.
#ifndef APP_MESSAGES_H_
#define APP_MESSAGES_H_

inline constexpr char16_t kErrorCaption[] = u"오류";
inline constexpr char16_t kWarningCaption[] = u"경고";
inline constexpr char16_t kNoticeCaption[] = u"알림";

inline constexpr char16_t kCannotCreateDirectory[] =
    u"설치 폴더를 생성할 수 없습니다.\n권한을 확인하세요.";
inline constexpr char16_t kCannotReachServer[] =
    u"서버에 연결할 수 없습니다.\n인터넷 연결을 확인하세요.";
inline constexpr char16_t kExecutableMissing[] = u"실행 파일을 찾을 수 없습니다.\n다시 실행해주세요.";
inline constexpr char16_t kUpdateCancelled[] = u"업데이트를 취소했습니다.";
// Without a full stop.
inline constexpr char16_t kUpdateCompleted[] = u"업데이트가 완료되었습니다. 프로그램을 재시작합니다";
// Followed by the names of the files whose download failed.
inline constexpr char16_t kFailureHeading[] = u"다음 파일 다운로드에 실패했습니다:\n\n";

#endif  // APP_MESSAGES_H_
