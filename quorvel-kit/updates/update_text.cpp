#include "quorvel-kit/updates/update_text.h"

#include <algorithm>
#include <map>

#include <QLocale>

#include "quorvel-kit/updates/app_bundle.h"

namespace quorvel {

namespace {

using Row = std::array<const char*, UpdateText::kKeyCount>;

constexpr Row kEnglish = {
    "Updates",
    "Check for updates…",
    "Check automatically",
    "Update available",
    "Up to date",
    "Checking…",
    "Download",
    "Install and restart",
    "Later",
    "Skip this version",
    "Cancel",
    "Open App Store",
    "Done",
    "Preparing…",
    "Installing…",
    "Couldn’t check for updates.",
    "Updates are unavailable.",
    "The update could not be verified.",
    "Notify me",
};

constexpr Row kSpanish = {
    "Actualizaciones",
    "Buscar actualizaciones…",
    "Buscar automáticamente",
    "Actualización disponible",
    "Actualizado",
    "Buscando…",
    "Descargar",
    "Instalar y reiniciar",
    "Más tarde",
    "Omitir esta versión",
    "Cancelar",
    "Abrir App Store",
    "Listo",
    "Preparando…",
    "Instalando…",
    "No se han podido buscar actualizaciones.",
    "Las actualizaciones no están disponibles.",
    "No se ha podido verificar la actualización.",
    "Notificarme",
};

constexpr Row kFrench = {
    "Mises à jour",
    "Rechercher des mises à jour…",
    "Rechercher automatiquement",
    "Mise à jour disponible",
    "À jour",
    "Recherche…",
    "Télécharger",
    "Installer et redémarrer",
    "Plus tard",
    "Ignorer cette version",
    "Annuler",
    "Ouvrir l’App Store",
    "OK",
    "Préparation…",
    "Installation…",
    "Impossible de rechercher des mises à jour.",
    "Les mises à jour ne sont pas disponibles.",
    "Impossible de vérifier la mise à jour.",
    "M’avertir",
};

const std::vector<std::pair<std::string, Row>>& table() {
    static const std::vector<std::pair<std::string, Row>> rows = {
        {"ar",
         {"التحديثات", "البحث عن تحديثات…", "التحقق تلقائيًا", "يتوفر تحديث", "محدّث", "جارٍ التحقق…",
          "تنزيل", "تثبيت وإعادة التشغيل", "لاحقًا", "تخطي هذا الإصدار", "إلغاء", "فتح App Store",
          "تم", "جارٍ التحضير…", "جارٍ التثبيت…", "تعذّر البحث عن تحديثات.", "التحديثات غير متوفرة.",
          "تعذّر التحقق من التحديث.", "أعلمني"}},
        {"bn",
         {"আপডেট", "আপডেট খুঁজুন…", "স্বয়ংক্রিয়ভাবে খুঁজুন", "আপডেট উপলব্ধ", "সর্বশেষ সংস্করণ", "খোঁজা হচ্ছে…",
          "ডাউনলোড", "ইনস্টল করে রিস্টার্ট করুন", "পরে", "এই সংস্করণ এড়িয়ে যান", "বাতিল",
          "App Store খুলুন", "সম্পন্ন", "প্রস্তুত হচ্ছে…", "ইনস্টল হচ্ছে…", "আপডেট খোঁজা যায়নি।",
          "আপডেট উপলব্ধ নয়।", "আপডেটটি যাচাই করা যায়নি।", "আমাকে জানান"}},
        {"ca",
         {"Actualitzacions", "Cerca actualitzacions…", "Comprova automàticament",
          "Hi ha una actualització", "Actualitzat", "S’està comprovant…", "Baixa",
          "Instal·la i reinicia", "Més tard", "Omet aquesta versió", "Cancel·la",
          "Obre l’App Store", "Fet", "S’està preparant…", "S’està instal·lant…",
          "No s’han pogut cercar actualitzacions.", "Les actualitzacions no estan disponibles.",
          "No s’ha pogut verificar l’actualització.", "Avisa’m"}},
        {"cs",
         {"Aktualizace", "Vyhledat aktualizace…", "Kontrolovat automaticky",
          "Je k dispozici aktualizace", "Aktuální", "Kontrola…", "Stáhnout",
          "Nainstalovat a restartovat", "Později", "Přeskočit tuto verzi", "Zrušit",
          "Otevřít App Store", "Hotovo", "Příprava…", "Instalace…",
          "Aktualizace se nepodařilo vyhledat.", "Aktualizace nejsou k dispozici.",
          "Aktualizaci se nepodařilo ověřit.", "Upozornit mě"}},
        {"da",
         {"Opdateringer", "Søg efter opdateringer…", "Søg automatisk", "Opdatering tilgængelig",
          "Opdateret", "Søger…", "Hent", "Installer og genstart", "Senere",
          "Spring denne version over", "Annuller", "Åbn App Store", "Færdig", "Forbereder…",
          "Installerer…", "Kunne ikke søge efter opdateringer.",
          "Opdateringer er ikke tilgængelige.", "Opdateringen kunne ikke bekræftes.",
          "Giv mig besked"}},
        {"de",
         {"Updates", "Nach Updates suchen…", "Automatisch suchen", "Update verfügbar",
          "Auf dem neuesten Stand", "Suche…", "Laden", "Installieren und neu starten", "Später",
          "Diese Version überspringen", "Abbrechen", "App Store öffnen", "Fertig", "Vorbereiten…",
          "Installieren…", "Die Suche nach Updates ist fehlgeschlagen.",
          "Updates sind nicht verfügbar.", "Das Update konnte nicht überprüft werden.",
          "Mitteilungen erhalten"}},
        {"el",
         {"Ενημερώσεις", "Έλεγχος για ενημερώσεις…", "Αυτόματος έλεγχος", "Διαθέσιμη ενημέρωση",
          "Ενημερωμένο", "Έλεγχος…", "Λήψη", "Εγκατάσταση και επανεκκίνηση", "Αργότερα",
          "Παράλειψη αυτής της έκδοσης", "Ακύρωση", "Άνοιγμα App Store", "Τέλος", "Προετοιμασία…",
          "Εγκατάσταση…", "Δεν ήταν δυνατός ο έλεγχος για ενημερώσεις.",
          "Οι ενημερώσεις δεν είναι διαθέσιμες.", "Δεν ήταν δυνατή η επαλήθευση της ενημέρωσης.",
          "Ειδοποίησέ με"}},
        {"en", kEnglish},
        {"en-AU", kEnglish},
        {"en-CA", kEnglish},
        {"en-GB", kEnglish},
        {"es", kSpanish},
        {"es-MX",
         {"Actualizaciones", "Buscar actualizaciones…", "Buscar automáticamente",
          "Actualización disponible", "Actualizado", "Buscando…", "Descargar",
          "Instalar y reiniciar", "Más tarde", "Omitir esta versión", "Cancelar", "Abrir App Store",
          "Listo", "Preparando…", "Instalando…", "No se pudieron buscar actualizaciones.",
          "Las actualizaciones no están disponibles.", "No se pudo verificar la actualización.",
          "Notificarme"}},
        {"fi",
         {"Päivitykset", "Tarkista päivitykset…", "Tarkista automaattisesti", "Päivitys saatavilla",
          "Ajan tasalla", "Tarkistetaan…", "Lataa", "Asenna ja käynnistä uudelleen", "Myöhemmin",
          "Ohita tämä versio", "Kumoa", "Avaa App Store", "Valmis", "Valmistellaan…", "Asennetaan…",
          "Päivityksiä ei voitu tarkistaa.", "Päivitykset eivät ole saatavilla.",
          "Päivitystä ei voitu vahvistaa.", "Ilmoita minulle"}},
        {"fr", kFrench},
        {"fr-CA",
         {"Mises à jour", "Rechercher des mises à jour…", "Rechercher automatiquement",
          "Mise à jour disponible", "À jour", "Recherche…", "Télécharger",
          "Installer et redémarrer", "Plus tard", "Ignorer cette version", "Annuler",
          "Ouvrir l’App Store", "Terminé", "Préparation…", "Installation…",
          "Impossible de rechercher des mises à jour.", "Les mises à jour ne sont pas disponibles.",
          "Impossible de vérifier la mise à jour.", "M’aviser"}},
        {"gu",
         {"અપડેટ્સ", "અપડેટ્સ માટે તપાસો…", "આપમેળે તપાસો", "અપડેટ ઉપલબ્ધ છે", "અપ ટુ ડેટ", "તપાસી રહ્યું છે…",
          "ડાઉનલોડ કરો", "ઇન્સ્ટોલ કરો અને ફરી શરૂ કરો", "પછીથી", "આ વર્ઝન છોડો", "રદ કરો",
          "App Store ખોલો", "થઈ ગયું", "તૈયારી થઈ રહી છે…", "ઇન્સ્ટોલ થઈ રહ્યું છે…",
          "અપડેટ્સ માટે તપાસી શકાયું નહીં.", "અપડેટ્સ ઉપલબ્ધ નથી.", "અપડેટની ચકાસણી થઈ શકી નહીં.",
          "મને સૂચિત કરો"}},
        {"he",
         {"עדכונים", "חיפוש עדכונים…", "בדיקה אוטומטית", "יש עדכון זמין", "מעודכן", "בודק…",
          "הורדה", "התקנה והפעלה מחדש", "מאוחר יותר", "דילוג על גרסה זו", "ביטול",
          "פתיחת App Store", "סיום", "מתכונן…", "מתקין…", "לא ניתן היה לחפש עדכונים.",
          "עדכונים אינם זמינים.", "לא ניתן היה לאמת את העדכון.", "הודע לי"}},
        {"hi",
         {"अपडेट", "अपडेट जाँचें…", "स्वचालित रूप से जाँचें", "अपडेट उपलब्ध है", "अप टू डेट", "जाँच हो रही है…",
          "डाउनलोड करें", "इंस्टॉल करें और रीस्टार्ट करें", "बाद में", "यह संस्करण छोड़ें", "रद्द करें",
          "App Store खोलें", "हो गया", "तैयारी हो रही है…", "इंस्टॉल हो रहा है…",
          "अपडेट की जाँच नहीं हो सकी।", "अपडेट उपलब्ध नहीं हैं।", "अपडेट सत्यापित नहीं हो सका।",
          "मुझे सूचित करें"}},
        {"hr",
         {"Ažuriranja", "Potraži ažuriranja…", "Provjeravaj automatski", "Dostupno je ažuriranje",
          "Ažurno", "Provjera…", "Preuzmi", "Instaliraj i ponovo pokreni", "Kasnije",
          "Preskoči ovu verziju", "Odustani", "Otvori App Store", "Gotovo", "Priprema…",
          "Instaliranje…", "Provjera ažuriranja nije uspjela.", "Ažuriranja nisu dostupna.",
          "Ažuriranje nije moguće provjeriti.", "Obavijesti me"}},
        {"hu",
         {"Frissítések", "Frissítések keresése…", "Automatikus keresés", "Frissítés érhető el",
          "Naprakész", "Keresés…", "Letöltés", "Telepítés és újraindítás", "Később",
          "Verzió kihagyása", "Mégsem", "App Store megnyitása", "Kész", "Előkészítés…",
          "Telepítés…", "Nem sikerült frissítéseket keresni.", "A frissítések nem érhetők el.",
          "A frissítést nem sikerült ellenőrizni.", "Értesítést kérek"}},
        {"id",
         {"Pembaruan", "Periksa pembaruan…", "Periksa secara otomatis", "Pembaruan tersedia",
          "Terbaru", "Memeriksa…", "Unduh", "Instal dan mulai ulang", "Nanti", "Lewati versi ini",
          "Batal", "Buka App Store", "Selesai", "Menyiapkan…", "Menginstal…",
          "Tidak dapat memeriksa pembaruan.", "Pembaruan tidak tersedia.",
          "Pembaruan tidak dapat diverifikasi.", "Beri tahu saya"}},
        {"it",
         {"Aggiornamenti", "Controlla aggiornamenti…", "Controlla automaticamente",
          "Aggiornamento disponibile", "Aggiornato", "Controllo…", "Scarica", "Installa e riavvia",
          "Più tardi", "Salta questa versione", "Annulla", "Apri App Store", "Fine",
          "Preparazione…", "Installazione…", "Impossibile controllare gli aggiornamenti.",
          "Gli aggiornamenti non sono disponibili.", "Impossibile verificare l’aggiornamento.",
          "Avvisami"}},
        {"ja",
         {"アップデート", "アップデートを確認…", "自動的に確認", "アップデートがあります",
          "最新の状態です", "確認中…", "ダウンロード", "インストールして再起動", "後で",
          "このバージョンをスキップ", "キャンセル", "App Storeを開く", "完了", "準備中…",
          "インストール中…", "アップデートを確認できませんでした。",
          "アップデートは利用できません。", "アップデートを検証できませんでした。",
          "通知を受け取る"}},
        {"kn",
         {"ಅಪ್‌ಡೇಟ್‌ಗಳು",
          "ಅಪ್‌ಡೇಟ್‌ಗಳಿಗಾಗಿ ಪರಿಶೀಲಿಸಿ…",
          "ಸ್ವಯಂಚಾಲಿತವಾಗಿ ಪರಿಶೀಲಿಸಿ", "ಅಪ್‌ಡೇಟ್ ಲಭ್ಯವಿದೆ", "ಅಪ್ ಟು ಡೇಟ್",
          "ಪರಿಶೀಲಿಸಲಾಗುತ್ತಿದೆ…", "ಡೌನ್‌ಲೋಡ್",
          "ಇನ್‌ಸ್ಟಾಲ್ ಮಾಡಿ ಮತ್ತು "
          "ಮರುಪ್ರಾರಂಭಿಸಿ",
          "ನಂತರ", "ಈ ಆವೃತ್ತಿಯನ್ನು ಬಿಟ್ಟುಬಿಡಿ", "ರದ್ದುಮಾಡಿ", "App Store ತೆರೆಯಿರಿ", "ಮುಗಿದಿದೆ", "ಸಿದ್ಧಪಡಿಸಲಾಗುತ್ತಿದೆ…",
          "ಇನ್‌ಸ್ಟಾಲ್ ಆಗುತ್ತಿದೆ…",
          "ಅಪ್‌ಡೇಟ್‌ಗಳಿಗಾಗಿ ಪರಿಶೀಲಿಸಲು "
          "ಸಾಧ್ಯವಾಗಲಿಲ್ಲ.",
          "ಅಪ್‌ಡೇಟ್‌ಗಳು ಲಭ್ಯವಿಲ್ಲ.",
          "ಅಪ್‌ಡೇಟ್ ಅನ್ನು ಪರಿಶೀಲಿಸಲು "
          "ಸಾಧ್ಯವಾಗಲಿಲ್ಲ.",
          "ನನಗೆ ಸೂಚಿಸಿ"}},
        {"ko",
         {"업데이트", "업데이트 확인…", "자동으로 확인", "업데이트 사용 가능", "최신 상태",
          "확인 중…", "다운로드", "설치 후 재시동", "나중에", "이 버전 건너뛰기", "취소",
          "App Store 열기", "완료", "준비 중…", "설치 중…", "업데이트를 확인할 수 없습니다.",
          "업데이트를 사용할 수 없습니다.", "업데이트를 검증할 수 없습니다.", "알림 받기"}},
        {"ml",
         {"അപ്ഡേറ്റുകൾ", "അപ്ഡേറ്റുകൾ പരിശോധിക്കുക…", "സ്വയമേവ പരിശോധിക്കുക", "അപ്ഡേറ്റ് ലഭ്യമാണ്", "കാലികമാണ്",
          "പരിശോധിക്കുന്നു…", "ഡൗൺലോഡ് ചെയ്യുക", "ഇൻസ്റ്റാൾ ചെയ്ത് പുനരാരംഭിക്കുക", "പിന്നീട്", "ഈ പതിപ്പ് ഒഴിവാക്കുക",
          "റദ്ദാക്കുക", "App Store തുറക്കുക", "പൂർത്തിയായി", "തയ്യാറാക്കുന്നു…", "ഇൻസ്റ്റാൾ ചെയ്യുന്നു…",
          "അപ്ഡേറ്റുകൾ പരിശോധിക്കാനായില്ല.", "അപ്ഡേറ്റുകൾ ലഭ്യമല്ല.", "അപ്ഡേറ്റ് സ്ഥിരീകരിക്കാനായില്ല.",
          "എന്നെ അറിയിക്കുക"}},
        {"mr",
         {"अपडेट्स", "अपडेट्स तपासा…", "आपोआप तपासा", "अपडेट उपलब्ध आहे", "अद्ययावत", "तपासत आहे…",
          "डाउनलोड करा", "इंस्टॉल करा आणि रीस्टार्ट करा", "नंतर", "ही आवृत्ती वगळा", "रद्द करा",
          "App Store उघडा", "पूर्ण", "तयारी करत आहे…", "इंस्टॉल करत आहे…", "अपडेट्स तपासता आले नाहीत.",
          "अपडेट्स उपलब्ध नाहीत.", "अपडेटची पडताळणी करता आली नाही.", "मला सूचित करा"}},
        {"ms",
         {"Kemas kini", "Semak kemas kini…", "Semak secara automatik", "Kemas kini tersedia",
          "Terkini", "Menyemak…", "Muat turun", "Pasang dan mula semula", "Kemudian",
          "Langkau versi ini", "Batal", "Buka App Store", "Selesai", "Menyediakan…", "Memasang…",
          "Tidak dapat menyemak kemas kini.", "Kemas kini tidak tersedia.",
          "Kemas kini tidak dapat disahkan.", "Beritahu saya"}},
        {"nb",
         {"Oppdateringer", "Se etter oppdateringer…", "Se etter automatisk",
          "Oppdatering tilgjengelig", "Oppdatert", "Ser etter…", "Last ned",
          "Installer og start på nytt", "Senere", "Hopp over denne versjonen", "Avbryt",
          "Åpne App Store", "Ferdig", "Forbereder…", "Installerer…",
          "Kunne ikke se etter oppdateringer.", "Oppdateringer er ikke tilgjengelige.",
          "Oppdateringen kunne ikke bekreftes.", "Varsle meg"}},
        {"nl",
         {"Updates", "Zoek naar updates…", "Automatisch zoeken", "Update beschikbaar", "Bijgewerkt",
          "Zoeken…", "Download", "Installeer en herstart", "Later", "Sla deze versie over",
          "Annuleer", "Open App Store", "Gereed", "Voorbereiden…", "Installeren…",
          "Kan niet naar updates zoeken.", "Updates zijn niet beschikbaar.",
          "De update kan niet worden geverifieerd.", "Houd me op de hoogte"}},
        {"or",
         {"ଅପଡେଟ୍", "ଅପଡେଟ୍ ଯାଞ୍ଚ କରନ୍ତୁ…", "ସ୍ୱୟଂଚାଳିତ ଭାବେ ଯାଞ୍ଚ କରନ୍ତୁ", "ଅପଡେଟ୍ ଉପଲବ୍ଧ", "ଅପ୍ ଟୁ ଡେଟ୍",
          "ଯାଞ୍ଚ କରାଯାଉଛି…", "ଡାଉନଲୋଡ୍", "ଇନଷ୍ଟଲ୍ କରି ପୁନଃଆରମ୍ଭ କରନ୍ତୁ", "ପରେ", "ଏହି ସଂସ୍କରଣ ଛାଡନ୍ତୁ", "ବାତିଲ୍",
          "App Store ଖୋଲନ୍ତୁ", "ହୋଇଗଲା", "ପ୍ରସ୍ତୁତ ହେଉଛି…", "ଇନଷ୍ଟଲ୍ ହେଉଛି…", "ଅପଡେଟ୍ ଯାଞ୍ଚ କରାଯାଇପାରିଲା ନାହିଁ।",
          "ଅପଡେଟ୍ ଉପଲବ୍ଧ ନାହିଁ।", "ଅପଡେଟ୍ ସତ୍ୟାପନ କରାଯାଇପାରିଲା ନାହିଁ।", "ମୋତେ ଜଣାନ୍ତୁ"}},
        {"pa",
         {"ਅੱਪਡੇਟ", "ਅੱਪਡੇਟਾਂ ਦੀ ਜਾਂਚ ਕਰੋ…", "ਆਪਣੇ ਆਪ ਜਾਂਚ ਕਰੋ", "ਅੱਪਡੇਟ ਉਪਲਬਧ ਹੈ", "ਨਵੀਨਤਮ", "ਜਾਂਚ ਹੋ ਰਹੀ ਹੈ…",
          "ਡਾਊਨਲੋਡ ਕਰੋ", "ਸਥਾਪਤ ਕਰੋ ਅਤੇ ਮੁੜ-ਚਾਲੂ ਕਰੋ", "ਬਾਅਦ ਵਿੱਚ", "ਇਹ ਵਰਜਨ ਛੱਡੋ", "ਰੱਦ ਕਰੋ", "App Store ਖੋਲ੍ਹੋ",
          "ਹੋ ਗਿਆ", "ਤਿਆਰੀ ਹੋ ਰਹੀ ਹੈ…", "ਸਥਾਪਤ ਹੋ ਰਿਹਾ ਹੈ…", "ਅੱਪਡੇਟਾਂ ਦੀ ਜਾਂਚ ਨਹੀਂ ਹੋ ਸਕੀ।",
          "ਅੱਪਡੇਟ ਉਪਲਬਧ ਨਹੀਂ ਹਨ।", "ਅੱਪਡੇਟ ਦੀ ਪੁਸ਼ਟੀ ਨਹੀਂ ਹੋ ਸਕੀ।", "ਮੈਨੂੰ ਸੂਚਿਤ ਕਰੋ"}},
        {"pl",
         {"Uaktualnienia", "Sprawdź uaktualnienia…", "Sprawdzaj automatycznie",
          "Dostępne uaktualnienie", "Aktualne", "Sprawdzanie…", "Pobierz",
          "Zainstaluj i uruchom ponownie", "Później", "Pomiń tę wersję", "Anuluj",
          "Otwórz App Store", "Gotowe", "Przygotowywanie…", "Instalowanie…",
          "Nie można sprawdzić uaktualnień.", "Uaktualnienia są niedostępne.",
          "Nie można zweryfikować uaktualnienia.", "Powiadamiaj mnie"}},
        {"pt-BR",
         {"Atualizações", "Buscar atualizações…", "Verificar automaticamente",
          "Atualização disponível", "Atualizado", "Verificando…", "Baixar", "Instalar e reiniciar",
          "Mais tarde", "Ignorar esta versão", "Cancelar", "Abrir a App Store", "OK", "Preparando…",
          "Instalando…", "Não foi possível buscar atualizações.",
          "As atualizações não estão disponíveis.", "Não foi possível verificar a atualização.",
          "Notificar-me"}},
        {"pt-PT",
         {"Atualizações", "Procurar atualizações…", "Verificar automaticamente",
          "Atualização disponível", "Atualizado", "A verificar…", "Descarregar",
          "Instalar e reiniciar", "Mais tarde", "Ignorar esta versão", "Cancelar",
          "Abrir a App Store", "OK", "A preparar…", "A instalar…",
          "Não foi possível procurar atualizações.", "As atualizações não estão disponíveis.",
          "Não foi possível verificar a atualização.", "Notificar-me"}},
        {"ro",
         {"Actualizări", "Caută actualizări…", "Verifică automat", "Actualizare disponibilă",
          "La zi", "Se verifică…", "Descarcă", "Instalează și repornește", "Mai târziu",
          "Omite această versiune", "Anulează", "Deschide App Store", "Gata", "Se pregătește…",
          "Se instalează…", "Nu s-au putut căuta actualizări.",
          "Actualizările nu sunt disponibile.", "Actualizarea nu a putut fi verificată.",
          "Anunță-mă"}},
        {"ru",
         {"Обновления", "Проверить обновления…", "Проверять автоматически", "Доступно обновление",
          "Установлена последняя версия", "Проверка…", "Загрузить", "Установить и перезапустить",
          "Позже", "Пропустить версию", "Отмена", "Открыть App Store", "Готово", "Подготовка…",
          "Установка…", "Не удалось проверить обновления.", "Обновления недоступны.",
          "Не удалось проверить подлинность обновления.", "Уведомлять меня"}},
        {"sk",
         {"Aktualizácie", "Vyhľadať aktualizácie…", "Kontrolovať automaticky",
          "Je dostupná aktualizácia", "Aktuálne", "Kontroluje sa…", "Stiahnuť",
          "Inštalovať a reštartovať", "Neskôr", "Preskočiť túto verziu", "Zrušiť",
          "Otvoriť App Store", "Hotovo", "Pripravuje sa…", "Inštaluje sa…",
          "Nepodarilo sa vyhľadať aktualizácie.", "Aktualizácie nie sú dostupné.",
          "Aktualizáciu sa nepodarilo overiť.", "Upozorniť ma"}},
        {"sl",
         {"Posodobitve", "Preveri posodobitve…", "Preverjaj samodejno", "Na voljo je posodobitev",
          "Posodobljeno", "Preverjanje…", "Prenesi", "Namesti in znova zaženi", "Pozneje",
          "Preskoči to različico", "Prekliči", "Odpri App Store", "Končano", "Pripravljanje…",
          "Nameščanje…", "Posodobitev ni bilo mogoče preveriti.", "Posodobitve niso na voljo.",
          "Posodobitve ni bilo mogoče overiti.", "Obvesti me"}},
        {"sv",
         {"Uppdateringar", "Sök efter uppdateringar…", "Sök automatiskt", "Uppdatering tillgänglig",
          "Uppdaterad", "Söker…", "Hämta", "Installera och starta om", "Senare",
          "Hoppa över den här versionen", "Avbryt", "Öppna App Store", "Klar", "Förbereder…",
          "Installerar…", "Det gick inte att söka efter uppdateringar.",
          "Uppdateringar är inte tillgängliga.", "Uppdateringen kunde inte verifieras.",
          "Meddela mig"}},
        {"ta",
         {"புதுப்பிப்புகள்", "புதுப்பிப்புகளைச் சரிபார்…", "தானாகச் சரிபார்", "புதுப்பிப்பு உள்ளது",
          "புதுப்பித்த நிலையில் உள்ளது", "சரிபார்க்கிறது…", "பதிவிறக்கு", "நிறுவி மீண்டும் தொடங்கு", "பின்னர்",
          "இந்தப் பதிப்பைத் தவிர்", "ரத்துசெய்", "App Store ஐத் திற", "முடிந்தது", "தயாராகிறது…",
          "நிறுவுகிறது…", "புதுப்பிப்புகளைச் சரிபார்க்க முடியவில்லை.", "புதுப்பிப்புகள் கிடைக்கவில்லை.",
          "புதுப்பிப்பைச் சரிபார்க்க முடியவில்லை.", "எனக்குத் தெரிவி"}},
        {"te",
         {"అప్‌డేట్‌లు",
          "అప్‌డేట్‌ల కోసం తనిఖీ చేయి…",
          "ఆటోమేటిక్‌గా తనిఖీ చేయి",
          "అప్‌డేట్ అందుబాటులో ఉంది", "తాజాగా ఉంది",
          "తనిఖీ చేస్తోంది…", "డౌన్‌లోడ్ చేయి",
          "ఇన్‌స్టాల్ చేసి రీస్టార్ట్ చేయి",
          "తర్వాత", "ఈ వెర్షన్‌ను దాటవేయి", "రద్దు చేయి",
          "App Store తెరువు", "పూర్తయింది", "సిద్ధం చేస్తోంది…",
          "ఇన్‌స్టాల్ చేస్తోంది…",
          "అప్‌డేట్‌ల కోసం తనిఖీ "
          "చేయలేకపోయింది.",
          "అప్‌డేట్‌లు అందుబాటులో లేవు.",
          "అప్‌డేట్‌ను "
          "ధృవీకరించలేకపోయింది.",
          "నాకు తెలియజేయి"}},
        {"th",
         {"อัปเดต", "ตรวจหาอัปเดต…", "ตรวจหาโดยอัตโนมัติ", "มีอัปเดต", "เป็นปัจจุบันแล้ว", "กำลังตรวจหา…",
          "ดาวน์โหลด", "ติดตั้งและเริ่มใหม่", "ภายหลัง", "ข้ามเวอร์ชันนี้", "ยกเลิก", "เปิด App Store", "เสร็จสิ้น",
          "กำลังเตรียม…", "กำลังติดตั้ง…", "ไม่สามารถตรวจหาอัปเดตได้", "ไม่มีอัปเดตให้ใช้งาน",
          "ไม่สามารถตรวจสอบอัปเดตได้", "แจ้งให้ฉันทราบ"}},
        {"tr",
         {"Güncellemeler", "Güncellemeleri denetle…", "Otomatik olarak denetle", "Güncelleme var",
          "Güncel", "Denetleniyor…", "İndir", "Yükle ve yeniden başlat", "Daha sonra",
          "Bu sürümü atla", "Vazgeç", "App Store’u aç", "Bitti", "Hazırlanıyor…", "Yükleniyor…",
          "Güncellemeler denetlenemedi.", "Güncellemeler kullanılamıyor.",
          "Güncelleme doğrulanamadı.", "Bana bildir"}},
        {"uk",
         {"Оновлення", "Перевірити оновлення…", "Перевіряти автоматично", "Доступне оновлення",
          "Встановлено останню версію", "Перевірка…", "Завантажити", "Встановити й перезапустити",
          "Пізніше", "Пропустити версію", "Скасувати", "Відкрити App Store", "Готово",
          "Підготовка…", "Встановлення…", "Не вдалося перевірити оновлення.",
          "Оновлення недоступні.", "Не вдалося перевірити автентичність оновлення.",
          "Сповіщати мене"}},
        {"ur",
         {"اپ ڈیٹس", "اپ ڈیٹس چیک کریں…", "خودکار طور پر چیک کریں", "اپ ڈیٹ دستیاب ہے", "تازہ ترین",
          "چیک ہو رہا ہے…", "ڈاؤن لوڈ کریں", "انسٹال کریں اور دوبارہ شروع کریں", "بعد میں",
          "یہ ورژن چھوڑیں", "منسوخ کریں", "App Store کھولیں", "ہو گیا", "تیاری ہو رہی ہے…",
          "انسٹال ہو رہا ہے…", "اپ ڈیٹس چیک نہیں ہو سکیں۔", "اپ ڈیٹس دستیاب نہیں ہیں۔",
          "اپ ڈیٹ کی تصدیق نہیں ہو سکی۔", "مجھے مطلع کریں"}},
        {"vi",
         {"Cập nhật", "Kiểm tra bản cập nhật…", "Tự động kiểm tra", "Có bản cập nhật",
          "Đã cập nhật", "Đang kiểm tra…", "Tải về", "Cài đặt và khởi động lại", "Để sau",
          "Bỏ qua phiên bản này", "Hủy", "Mở App Store", "Xong", "Đang chuẩn bị…", "Đang cài đặt…",
          "Không thể kiểm tra bản cập nhật.", "Không có bản cập nhật.",
          "Không thể xác minh bản cập nhật.", "Thông báo cho tôi"}},
        {"zh-Hans",
         {"更新", "检查更新…", "自动检查", "有可用更新", "已是最新版本", "正在检查…", "下载",
          "安装并重新启动", "稍后", "跳过此版本", "取消", "打开 App Store", "完成", "正在准备…",
          "正在安装…", "无法检查更新。", "更新不可用。", "无法验证更新。", "通知我"}},
        {"zh-Hant",
         {"更新", "檢查更新項目…", "自動檢查", "有可用的更新項目", "已是最新版本", "正在檢查…",
          "下載", "安裝並重新啟動", "稍後", "略過此版本", "取消", "打開 App Store", "完成",
          "正在準備…", "正在安裝…", "無法檢查更新項目。", "無法使用更新項目。",
          "無法驗證更新項目。", "通知我"}},
    };
    return rows;
}

std::optional<std::vector<std::string>>& preferredOverride() {
    static std::optional<std::vector<std::string>> languages;
    return languages;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> subtags(const std::string& code) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dash = code.find_first_of("-_", start);
        parts.push_back(lower(code.substr(start, dash == std::string::npos ? dash : dash - start)));
        if (dash == std::string::npos)
            return parts;
        start = dash + 1;
    }
}

bool hasTag(const std::vector<std::string>& tags, std::initializer_list<const char*> any) {
    for (std::size_t i = 1; i < tags.size(); ++i) {
        for (const char* tag : any) {
            if (tags[i] == tag)
                return true;
        }
    }
    return false;
}

// One preference against the table: the exact code, then the regional or
// script variant the table holds for it, then the base language.
std::optional<std::string> matchOne(const std::string& preference) {
    const std::vector<std::string> tags = subtags(preference);
    if (tags.empty() || tags[0].empty())
        return std::nullopt;
    std::map<std::string, std::string> codes;
    for (const auto& [code, row] : table())
        codes[lower(code)] = code;
    std::string joined = tags[0];
    for (std::size_t i = 1; i < tags.size(); ++i)
        joined += "-" + tags[i];
    if (auto it = codes.find(joined); it != codes.end())
        return it->second;
    const std::string& base = tags[0];
    if (base == "zh")
        return hasTag(tags, {"hant", "tw", "hk", "mo"}) ? "zh-Hant" : "zh-Hans";
    if (base == "pt")
        return hasTag(tags, {"pt", "ao", "mz", "cv", "gw", "st", "tl", "mo"}) ? "pt-PT" : "pt-BR";
    if (base == "es" && tags.size() > 1 && !hasTag(tags, {"es"}))
        return "es-MX"; // the Latin American row
    if (base == "en" && hasTag(tags, {"au", "nz"}))
        return "en-AU";
    if (base == "en" && hasTag(tags, {"ie", "in", "za"}))
        return "en-GB";
    if (base == "fr" && hasTag(tags, {"ca"}))
        return "fr-CA";
    if (base == "no" || base == "nn")
        return "nb";
    if (base == "iw")
        return "he";
    if (base == "in")
        return "id";
    if (auto it = codes.find(base); it != codes.end())
        return it->second;
    return std::nullopt;
}

} // namespace

std::optional<UpdateText::Key> UpdateText::keyFromRaw(int raw) {
    if (raw < 0 || raw >= kKeyCount)
        return std::nullopt;
    return static_cast<Key>(raw);
}

std::array<UpdateText::Key, UpdateText::kKeyCount> UpdateText::allKeys() {
    std::array<Key, kKeyCount> keys{};
    for (int i = 0; i < kKeyCount; ++i)
        keys[static_cast<std::size_t>(i)] = static_cast<Key>(i);
    return keys;
}

const std::vector<std::string>& UpdateText::languages() {
    static const std::vector<std::string> codes = [] {
        std::vector<std::string> list;
        for (const auto& [code, row] : table())
            list.push_back(code);
        return list;
    }();
    return codes;
}

std::string UpdateText::match(const std::vector<std::string>& preferences) {
    for (const std::string& preference : preferences) {
        if (auto code = matchOne(preference))
            return *code;
    }
    return "en";
}

QString UpdateText::string(Key key, const std::optional<std::string>& language) {
    const std::string code =
        match(language ? std::vector<std::string>{*language} : preferredLocalizations());
    const auto& rows = table();
    auto it =
        std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.first == code; });
    const Row& row = it == rows.end() ? kEnglish : it->second;
    return QString::fromUtf8(row[static_cast<std::size_t>(key)]);
}

std::vector<std::string> UpdateText::preferredLocalizations() {
    if (preferredOverride())
        return *preferredOverride();
    std::vector<std::string> user;
    for (const QString& language : QLocale::system().uiLanguages())
        user.push_back(language.toStdString());
    const AppBundle bundle = AppBundle::main();
    const nlohmann::json& info = bundle.info();
    auto offered = info.find("CFBundleLocalizations");
    if (offered == info.end() || !offered->is_array())
        return user;
    std::vector<std::string> own;
    for (const auto& entry : *offered) {
        if (entry.is_string())
            own.push_back(entry.get<std::string>());
    }
    // The host's languages in the user's order, the rest after them.
    std::vector<std::string> ordered;
    for (const std::string& wanted : user) {
        for (const std::string& language : own) {
            const bool sameBase = subtags(language)[0] == subtags(wanted)[0];
            if (sameBase && std::find(ordered.begin(), ordered.end(), language) == ordered.end())
                ordered.push_back(language);
        }
    }
    for (const std::string& language : own) {
        if (std::find(ordered.begin(), ordered.end(), language) == ordered.end())
            ordered.push_back(language);
    }
    return ordered;
}

void UpdateText::setPreferredLocalizations(std::vector<std::string> languages) {
    preferredOverride() = std::move(languages);
}

bool UpdateText::isRightToLeft(std::string_view language) {
    const std::string base = subtags(std::string(language))[0];
    return base == "ar" || base == "he" || base == "ur" || base == "fa" || base == "iw";
}

} // namespace quorvel
