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
  X(170, "elitní") \
  X(171, "anonymní") \
  X(172, "prozrazuje vaši adresu") \
  X(173, "Funkčních %1: elitních %2, anonymních %3, prozrazujících vaši adresu %4") \
  X(174, "Funkčních %1, anonymitu nelze posoudit") \
  X(175, ", neposouzených %1") \
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
  X(270, "elite") \
  X(271, "anonymous") \
  X(272, "reveals your address") \
  X(273, "%1 working: %2 elite, %3 anonymous, %4 reveal your address") \
  X(274, "%1 working, anonymity could not be judged") \
  X(275, ", %1 not judged")
