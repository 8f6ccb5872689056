// The member's file page. A ticked file's entry comes with its code page 949 byte codes
// (data-codes), made by the service: a page cannot encode code page 949 itself. Member ids
// are taken in printable ASCII only, so their codes are their character codes.
(function () {
  "use strict";

  // The download client lists at most 180 files, and a launch link travels as one command
  // line argument (at most 128 KiB): about 30000 codes of up to three digits and a comma.
  var MAX_FILES = 180;
  var LINK_CODES = 30000;
  var QUESTION = 63;
  var BAR = 124;

  var member = document.getElementById("member");
  var notice = document.getElementById("notice");
  var all = document.getElementById("all");
  var picked = document.getElementById("picked");
  var server = document.body.getAttribute("data-server") || "1";
  var boxes = Array.prototype.slice.call(
    document.querySelectorAll("#files input[type=checkbox]:not([disabled])"));

  function show(text) {
    notice.textContent = text;
    notice.hidden = false;
  }

  function hide() {
    notice.hidden = true;
    notice.textContent = "";
  }

  function asciiCodes(text) {
    var codes = [];
    for (var i = 0; i < text.length; i++)
      codes.push(text.charCodeAt(i));
    return codes;
  }

  // The member id's codes, or null after telling the member what is wrong.
  function memberCodes() {
    var id = member.value.trim();
    if (id === "") {
      show("회원 아이디를 입력해 주세요.");
      member.focus();
      return null;
    }
    if (!/^[\x21-\x7e]+$/.test(id) || id.indexOf("|") >= 0) {
      show("회원 아이디는 영문, 숫자와 기호(| 제외)로만 입력해 주세요.");
      member.focus();
      return null;
    }
    return asciiCodes(id);
  }

  function launch(scheme, codes) {
    window.location.href = scheme + "://" + codes.join(",") + "/";
  }

  function ticked() {
    return boxes.filter(function (box) { return box.checked; });
  }

  function download() {
    hide();
    var id = memberCodes();
    if (!id)
      return;
    var files = ticked();
    if (files.length === 0) {
      show("받을 파일을 골라 주세요.");
      return;
    }
    var codes = [];
    files.forEach(function (box) {
      box.getAttribute("data-codes").split(",").forEach(function (code) {
        codes.push(Number(code));
      });
      codes.push(QUESTION);
    });
    codes.push(BAR);
    codes = codes.concat(id);
    codes.push(BAR);
    codes = codes.concat(asciiCodes(server));
    if (files.length > MAX_FILES || codes.length > LINK_CODES) {
      show("한 번에 받기에는 고른 파일이 너무 많습니다. 나누어 받아 주세요.");
      return;
    }
    launch("vastrelle", codes);
  }

  function upload() {
    hide();
    var id = memberCodes();
    if (!id)
      return;
    var codes = asciiCodes("Vaultry_uploader_Choose|").concat(id);
    codes.push(BAR);
    launch("vastrelle-page", codes.concat(asciiCodes(server)));
  }

  function countPicked() {
    var n = ticked().length;
    picked.textContent = String(n);
    all.checked = n > 0 && n === boxes.length;
    all.indeterminate = n > 0 && n < boxes.length;
  }

  all.disabled = boxes.length === 0;
  all.addEventListener("change", function () {
    boxes.forEach(function (box) { box.checked = all.checked; });
    countPicked();
  });
  boxes.forEach(function (box) { box.addEventListener("change", countPicked); });
  document.getElementById("download").addEventListener("click", download);
  document.getElementById("upload").addEventListener("click", upload);
  member.addEventListener("input", hide);
  countPicked();
})();
