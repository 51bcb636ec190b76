#pragma once
// The program's messages in Czech (ids 101-199) and English (201-299).
// This one list feeds both the string-table resource of the Windows program
// (resources.rc expands it) and the compiled-in table of the native build, so
// the two can never drift apart. Plain C preprocessor only: windres reads it.

#define PROXANTO_STRINGS(X) \
  X(101, "- Vypnuto -") \
  X(102, "Ok") \
  X(103, "Storno") \
  X(104, "Filtr zemí") \
  X(105, "Vyberte zemi:") \
  X(106, "Zastavit anonymizaci") \
  X(107, "Pokračovat v anonymizaci") \
  X(108, "Žádná IP adresa") \
  X(109, "Anonymizace") \
  X(110, "byla přerušena") \
  X(111, "IP adresa byla zkopírována") \
  X(112, "Konec") \
  X(113, "Zkopírovat IP adresu do paměti") \
  X(114, "Změnit proxy") \
  X(115, "Klávesové zkratky") \
  X(116, "Jazyk") \
  X(117, "zpráva") \
  X(118, "Přidat do oblíbených") \
  X(119, "Oblíbené IP adresy") \
  X(120, "Vybrat IP adresu") \
  X(121, "Obnovit původní nastavení") \
  X(122, "Nastavení:") \
  X(123, "Výchozí nastavení") \
  X(124, "O programu") \
  X(125, "IP adresy nebyly nalezeny !") \
  X(126, "Přejete si stáhnout novou databázi ?") \
  X(127, "Aktulizace byla úspěšně dokončena !") \
  X(128, "Aktualizace se nezdařila !") \
  X(129, "Aktualizovat") \
  X(130, "Blokovat tuto IP adresu") \
  X(131, "V DB není žádná IP adpovídající vybrané zemi !") \
  X(132, "Filtr nelze použít !") \
  X(133, "Ověřit proxy") \
  X(134, "Jen funkční proxy") \
  X(135, "Ověřeno %1 z %2, funkčních %3") \
  X(136, "Ověření dokončeno") \
  X(137, "nefunguje:") \
  X(138, "odmítnuto") \
  X(139, "neodpovídá") \
  X(140, "chybná odpověď") \
  X(141, "Nastavení se nepodařilo uložit !") \
  X(143, "Měnit každých") \
  X(144, "Nikdy") \
  X(145, "%1 minut") \
  X(146, "%1 minuty") \
  X(147, "%1 minuta") \
  X(150, "%1: %2 proxy, z toho nových %3") \
  X(151, " (přeskočeno: %1 jiného druhu než HTTP, %2 z místních sítí)") \
  X(152, "%1: nezdařilo se – %2") \
  X(153, "nedostupné") \
  X(154, "server odpověděl kódem %1") \
  X(155, "přesměrování odmítnuto (více než 5, nebo z https na http)") \
  X(156, "Databázi se nepodařilo uložit !") \
  X(157, "odpověď byla neúplná nebo větší než 16 MB") \
  X(158, "vypršel čas (15 s bez dat, nebo 60 s celkem)") \
  X(159, "není to adresa http://, https:// ani file:") \
  X(160, "neobsahuje žádnou proxy") \
  X(161, "Proxy z veřejných seznamů nikdo neověřil a většina z nich nefunguje.\r\nOvěřit je nyní? Každá proxy bude kontaktována z vaší vlastní IP adresy.\r\nZapne se také „Jen funkční proxy“.") \
  X(162, "Přidat proxy ze schránky") \
  X(163, "Ze schránky přidáno nových proxy: %1 (ve schránce jich bylo %2).") \
  X(164, "Ve schránce není žádná proxy.") \
  X(170, "elitní") \
  X(171, "anonymní") \
  X(172, "prozrazuje vaši adresu") \
  X(173, "Funkčních %1: elitních %2, anonymních %3, prozrazujících vaši adresu %4") \
  X(174, "Funkčních %1, anonymitu nelze posoudit") \
  X(175, ", neposouzených %1") \
  X(185, "Proxanto již běží v jiné vaší relaci (například na vzdálené ploše). Jeho proxy platí i zde.") \
  X(201, "- Off -") \
  X(202, "Ok") \
  X(203, "Cancel") \
  X(204, "Countries Filter") \
  X(205, "Change country:") \
  X(206, "Stop anonymity") \
  X(207, "Continue with anonymity") \
  X(208, "No IP Address") \
  X(209, "Anonymity") \
  X(210, "was canceled") \
  X(211, "IP Address was copied") \
  X(212, "Exit") \
  X(213, "Copy IP Address to clipboard") \
  X(214, "Change proxy") \
  X(215, "Hotkeys") \
  X(216, "Language") \
  X(217, "Message") \
  X(218, "Add to favorites") \
  X(219, "Favorites IP Address") \
  X(220, "Change IP Address") \
  X(221, "Default settings") \
  X(222, "Settings:") \
  X(223, "Default settings") \
  X(224, "About") \
  X(225, "IP adresy was not found !") \
  X(226, "Would you like to download new database ?") \
  X(227, "Update was completed successfull !") \
  X(228, "Update was aborted !") \
  X(229, "Update") \
  X(230, "Block this IP Address") \
  X(231, "In the Database there aren't IP Address, which fall into changed country !") \
  X(232, "Filter will be out of order !") \
  X(233, "Check proxies") \
  X(234, "Only working proxies") \
  X(235, "Checked %1 of %2, %3 working") \
  X(236, "Check finished") \
  X(237, "does not work:") \
  X(238, "refused") \
  X(239, "timed out") \
  X(240, "wrong answer") \
  X(241, "The setting could not be saved !") \
  X(243, "Change every") \
  X(244, "Never") \
  X(245, "%1 minutes") \
  X(246, "%1 minutes") \
  X(247, "%1 minute") \
  X(250, "%1: %2 proxies, %3 of them new") \
  X(251, " (skipped: %1 other than HTTP, %2 of local networks)") \
  X(252, "%1: failed – %2") \
  X(253, "cannot be reached") \
  X(254, "the server answered %1") \
  X(255, "redirect refused (more than 5, or from https to http)") \
  X(256, "The database could not be saved !") \
  X(257, "the answer was incomplete or larger than 16 MB") \
  X(258, "timed out (15 s without data, or 60 s in all)") \
  X(259, "not an http://, https:// or file: address") \
  X(260, "holds no proxy") \
  X(261, "Nobody has checked the proxies of public lists, and most of them do not work.\r\nCheck them now? Each proxy will be contacted from your own IP address.\r\n“Only working proxies” is switched on as well.") \
  X(262, "Add proxies from clipboard") \
  X(263, "%1 new proxies added from the clipboard (it held %2).") \
  X(264, "There is no proxy in the clipboard.") \
  X(270, "elite") \
  X(271, "anonymous") \
  X(272, "reveals your address") \
  X(273, "%1 working: %2 elite, %3 anonymous, %4 reveal your address") \
  X(274, "%1 working, anonymity could not be judged") \
  X(275, ", %1 not judged") \
  X(285, "Proxanto is already running in another of your sessions (a remote desktop, for example). Its proxy is in force here too.")
