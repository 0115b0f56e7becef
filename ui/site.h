// Addresses and names the windows and texts of the game show.
#pragma once

namespace ui {

inline constexpr const char* kBlogHost = "mibbet.example.com";
inline constexpr const char* kBlogAddress = "http://mibbet.example.com";
inline constexpr const char* kFeedbackAddress = "http://mibbet.example.com/FeedBack/";
inline constexpr const char* kForumHost = "52dozo.example.com";
inline constexpr const char* kAuthorEmail = "mibbet@example.com";
inline constexpr const char* kAuthorMessagingNumber = "12345678";
// The author's statement, as the About box and both information texts show it.
inline constexpr const char* kAuthorStatement = "本软件由Mibbet所写,仅供娱乐。";

}  // namespace ui
