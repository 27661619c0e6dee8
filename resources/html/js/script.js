// Browser control script of the six Corvanta pages (camera, switcher and full
// view, dark and light). Every action is a GET to the JSON interface under
// "/cam/", "/obs/" and "/vmix/"; the shown state comes from polling it.
// Names from the server (presets, cameras, sources, transitions, inputs) go
// into the page as text or attribute values only, never as markup.
(function ($) {
    "use strict";

    var POLL_INTERVAL_MS = 500;
    // A move runs until this long after the control request was answered.
    var STOP_DELAY_MS = 500;
    // A request the server has not answered within this time is given up, so
    // its poll can run again. Tests may set a longer one before the page loads.
    var REQUEST_TIMEOUT_MS = window.corvantaRequestTimeoutMs || 5000;
    // OBS reads decibel values at or below this as silence.
    var OBS_MIN_DB = -100;

    var camIndex = -1;
    var presets = [];
    var camId = "";
    var focusAuto = false;
    var oldCamIndex = -1;
    var oldFocusAuto = false;
    var obsInputs = [];
    var obsTransitions = [];
    var currentTransition = "";
    var vmixInputs = [];
    var vmixMasterAudio = { masterVolume: 0, masterVolumeMuted: false };

    // A view is initialising until its first good answer arrived, so a
    // failed first poll does not leave the lists empty for good.
    var initialising = { cam: true, obs: true, vmix: true };
    // Paths of polls whose previous request is still outstanding.
    var pending = {};

    // GET path with params (form encoded); onOk gets the answer when its
    // "status" is "OK". Other answers and transport errors are dropped.
    function request(path, params, onOk) {
        return $.ajax({
            url: path,
            data: params || {},
            dataType: "json",
            timeout: REQUEST_TIMEOUT_MS
        }).done(function (data) {
            if (data && data.status === "OK" && onOk) {
                onOk(data);
            }
        });
    }

    // A poll whose previous request is still outstanding is skipped.
    function poll(path, onOk) {
        if (pending[path]) {
            return;
        }
        pending[path] = true;
        request(path, null, onOk).always(function () {
            pending[path] = false;
        });
    }

    function number(v, fallback) {
        var n = parseFloat(v);
        return isFinite(n) ? n : fallback;
    }

    function clampSlider(v) {
        return Math.max(0, Math.min(100, Math.round(v)));
    }

    function setMuteIcon($btn, muted) {
        $btn.find(".fa").toggleClass("fa-microphone-slash", !!muted).toggleClass("fa-microphone", !muted);
    }

    // ---- camera panel -------------------------------------------------

    function presetBox(n) {
        return $("#preset" + n);
    }

    function drawPresetNames() {
        for (var i = 1; i <= 6; i++) {
            var name = presets[i - 1];
            if (typeof name === "string") {
                var $name = presetBox(i).find(".preset-name");
                if ($name.text() !== name) {
                    $name.text(name);
                }
            }
        }
    }

    function redrawPresets() {
        var now = Date.now();
        for (var i = 1; i <= 6; i++) {
            presetBox(i).find("img").attr("src", "/assets?_type=preset&_name=" +
                encodeURIComponent(camId + i + ".jpg") + "&_time=" + now);
        }
        drawPresetNames();
    }

    function markCamera() {
        $(".cam-btn").removeClass("active").attr("aria-pressed", "false");
        if (camIndex >= 0) {
            $("#cam" + (camIndex + 1)).addClass("active").attr("aria-pressed", "true");
        }
    }

    // Camera buttons carry the switchers' tally: "tally-program" (live) or
    // "tally-preview"; the answer is read as data only.
    function onTally(data) {
        var states = {};
        $.each($.isArray(data.data) ? data.data : [], function (i, e) {
            if (e && typeof e.camNum === "number") {
                states[e.camNum] = String(e.state);
            }
        });
        $(".cam-btn").each(function () {
            var state = states[Number($(this).attr("data-cam")) + 1];
            $(this).toggleClass("tally-program", state === "program")
                .toggleClass("tally-preview", state === "preview");
        });
    }

    function onCamInfo(data) {
        var init = initialising.cam;
        initialising.cam = false;
        camIndex = typeof data.camIndex === "number" ? data.camIndex : -1;
        presets = $.isArray(data.presets) ? data.presets : [];
        camId = typeof data.camId === "string" ? data.camId : "";
        focusAuto = data.focusAuto === true;
        if (init || camIndex !== oldCamIndex || focusAuto !== oldFocusAuto) {
            markCamera();
            redrawPresets();
            $("#autoFocus").prop("checked", focusAuto);
        } else {
            // A renamed preset shows at the next poll; the pictures are
            // fetched again only when a download is reported.
            drawPresetNames();
        }
        oldCamIndex = camIndex;
        oldFocusAuto = focusAuto;
    }

    function fillCameraSettings(data) {
        var devices = $.isArray(data.usbDevices) ? data.usbDevices : [];
        var list = $.isArray(data.camList) ? data.camList : [];
        for (var n = 1; n <= 8; n++) {
            var cam = list[n - 1];
            if (!cam) {
                continue;
            }
            var name = String(cam.camName === undefined ? "" : cam.camName);
            var id = String(cam.camId === undefined ? "" : cam.camId);
            var usb = cam.isUsbCam === true;
            $("#cam" + n).attr("title", name);
            $("#camName" + n).val(name);
            $("#camAddr" + n).val(usb ? "0.0.0.0" : id);
            var $sel = $("#camUsb" + n).empty();
            for (var d = 0; d < devices.length; d++) {
                $sel.append($("<option>").val(String(devices[d])).text(String(devices[d])));
            }
            if (usb) {
                $sel.val(id);
            }
            $("#camTypeUsb" + n).prop("checked", usb);
            $("#camTypeIp" + n).prop("checked", !usb);
        }
    }

    function requestCameraSettings(then) {
        request("/cam/settings", null, function (data) {
            fillCameraSettings(data);
            if (then) {
                then();
            }
        });
    }

    function saveCameraSettings() {
        var list = [];
        for (var n = 1; n <= 8; n++) {
            var usb = $("#camTypeUsb" + n).prop("checked");
            var name = String($("#camName" + n).val() || "");
            list.push({
                isUsb: usb,
                name: name,
                camId: String((usb ? $("#camUsb" + n).val() : $("#camAddr" + n).val()) || "")
            });
            $("#cam" + n).attr("title", name);
        }
        request("/cam/saveSettings", { camList: JSON.stringify(list) });
        $("#camSettingsModal").modal("hide");
    }

    function speed(which) {
        return parseInt($("#" + which + "Speed").val(), 10) || 1;
    }

    function control(method) {
        var stop = function () {
            window.setTimeout(function () {
                request("/cam/stopControl", { controlMethod: method });
            }, STOP_DELAY_MS);
        };
        // The stop follows every answered or failed move request: a move the
        // server carried out whose answer was lost must still end.
        request("/cam/control", {
            controlMethod: method,
            panSpeed: speed("pan"),
            tiltSpeed: speed("tilt"),
            zoomSpeed: speed("zoom"),
            focusSpeed: speed("focus")
        }).always(stop);
    }

    function onPresetClick(n) {
        if ($("#presetModeSet").prop("checked")) {
            $("#presetNumInput").val(String(n));
            var name = presets[n - 1];
            $("#presetNameInput").val(typeof name === "string" ? name : presetBox(n).find(".preset-name").text());
            $("#presetModal").modal("show");
        } else {
            // presetSpeed holds the list index the camera expects (0 = speed 1).
            request("/cam/recallPreset", {
                presetNum: n,
                callSpeed: parseInt($("#presetSpeed").val(), 10) || 0
            });
        }
    }

    function onPresetOk() {
        request("/cam/setPreset", {
            presetNum: parseInt($("#presetNumInput").val(), 10) || 1,
            presetName: String($("#presetNameInput").val() || ""),
            isUploadImage: false
        });
        $("#presetModeRecall").prop("checked", true);
        $("#presetModal").modal("hide");
    }

    // ---- OBS panel ----------------------------------------------------

    function obsSlider(db) {
        return clampSlider(100 * Math.pow(Math.pow(10, db / 20), 0.25));
    }

    function obsDecibels(slider) {
        if (slider <= 0) {
            return OBS_MIN_DB;
        }
        var db = 20 * Math.log(Math.pow(slider / 100, 4)) / Math.LN10;
        return Math.max(OBS_MIN_DB, Math.round(db * 100) / 100);
    }

    function selectedObsSource() {
        var i = parseInt($("#obsSources").val(), 10);
        return isNaN(i) ? null : obsInputs[i] || null;
    }

    function showObsSource() {
        var src = selectedObsSource();
        if (src) {
            $("#obsVolume").val(obsSlider(number(src.volume, 0)));
        }
        setMuteIcon($("#obsMute"), src && src.muted === true);
    }

    function rebuildObsSources() {
        var $sel = $("#obsSources").empty();
        for (var i = 0; i < obsInputs.length; i++) {
            $sel.append($("<option>").val(String(i)).text(String(obsInputs[i].name)));
        }
        if (obsInputs.length) {
            $sel.val("0");
        }
        showObsSource();
    }

    function rebuildObsTransitions() {
        var $sel = $("#obsTransitions").empty();
        for (var i = 0; i < obsTransitions.length; i++) {
            var name = String(obsTransitions[i]);
            $sel.append($("<option>").val(name).text(name));
        }
        $sel.val(currentTransition);
    }

    function onObsStatus(data) {
        var init = initialising.obs;
        initialising.obs = false;
        $("#obsStreamStatus").text(data.isStreaming === true ? "Streaming ..." : "No Streaming ...");
        $("#obsRecordStatus").text(data.isRecording === true ? "Recording ..." : "No Recording ...");
        obsInputs = $.grep($.isArray(data.sources) ? data.sources : [], function (s) {
            return s && typeof s === "object";
        });
        obsTransitions = $.isArray(data.transitions) ? data.transitions : [];
        currentTransition = typeof data.currentTransition === "string" ? data.currentTransition : "";
        // A page opened before the switcher answered shows empty lists: fill
        // them from the first answer that has entries.
        if (init || ($("#obsSources option").length === 0 && obsInputs.length)) {
            rebuildObsSources();
        }
        if (init || ($("#obsTransitions option").length === 0 && obsTransitions.length)) {
            rebuildObsTransitions();
        }
        var src = selectedObsSource();
        setMuteIcon($("#obsMute"), src && src.muted === true);
    }

    // ---- vMix panel ---------------------------------------------------

    // vMix reports linear level in per cent; the slider shows its fourth root.
    function vmixSlider(v) {
        return clampSlider(Math.pow(Math.max(0, number(v, 0)) * 1e6, 0.25));
    }

    function selectedVmixInput(selectId) {
        var i = parseInt($(selectId).val(), 10);
        return isNaN(i) ? null : vmixInputs[i] || null;
    }

    function showVmixSource() {
        var input = selectedVmixInput("#vmixSources");
        var volume = input ? String(input.inputVolume === undefined ? "" : input.inputVolume) : "";
        $("#vmixSourceVolume").prop("disabled", volume === "");
        if (volume !== "") {
            $("#vmixSourceVolume").val(vmixSlider(volume));
        }
        setMuteIcon($("#vmixSourceMute"), input && input.inputVolumeMuted === true);
    }

    function showVmixMaster() {
        $("#vmixMasterVolume").val(vmixSlider(vmixMasterAudio.masterVolume));
        setMuteIcon($("#vmixMasterMute"), vmixMasterAudio.masterVolumeMuted);
    }

    function rebuildVmixInputs() {
        var $sources = $("#vmixSources").empty();
        var $preview = $("#vmixPreview").empty();
        for (var i = 0; i < vmixInputs.length; i++) {
            var title = String(vmixInputs[i].inputName === undefined ? "" : vmixInputs[i].inputName);
            $sources.append($("<option>").val(String(i)).text(title));
            $preview.append($("<option>").val(String(i)).text(title));
        }
        if (vmixInputs.length) {
            $sources.val("0");
            $preview.val("0");
        }
        showVmixSource();
    }

    function onVmixStatus(data) {
        var init = initialising.vmix;
        initialising.vmix = false;
        vmixMasterAudio = {
            masterVolume: number(data.masterVolume, 0),
            masterVolumeMuted: data.masterVolumeMuted === true
        };
        vmixInputs = $.grep($.isArray(data.inputs) ? data.inputs : [], function (s) {
            return s && typeof s === "object";
        });
        if (init || ($("#vmixSources option").length === 0 && vmixInputs.length)) {
            rebuildVmixInputs();
            showVmixMaster();
        }
        $("#vmixStreamStatus").text(data.isStreaming === true ? "Streaming..." : "No Streaming...");
        $("#vmixRecordStatus").text(data.isRecording === true ? "Recording..." : "No Recording...");
        $("#vmixPlayListStatus").text(data.isPlayListOn === true ? "PlayList On..." : "PlayList Off...");
        setMuteIcon($("#vmixMasterMute"), vmixMasterAudio.masterVolumeMuted);
        var input = selectedVmixInput("#vmixSources");
        setMuteIcon($("#vmixSourceMute"), input && input.inputVolumeMuted === true);
    }

    function inputKey(selectId) {
        var input = selectedVmixInput(selectId);
        return input ? String(input.inputKey === undefined ? "" : input.inputKey) : null;
    }

    // ---- wiring -------------------------------------------------------

    function bind() {
        $(".cam-btn").on("click", function () {
            request("/cam/connect", { camNum: parseInt($(this).data("cam"), 10) });
        });
        $(".pad-btn").on("click", function () {
            control(parseInt($(this).data("method"), 10));
        });
        $(".preset-box").on("click", function () {
            onPresetClick(parseInt($(this).data("preset"), 10));
        });
        $("#presetOkBtn").on("click", onPresetOk);
        $("#autoFocus").on("change", function () {
            request("/cam/focusAuto", { focusAuto: $(this).prop("checked") ? "true" : "false" });
        });
        $("#camSettingsBtn").on("click", function () {
            $("#camSettingsModal").modal("show");
            requestCameraSettings();
        });
        $("#camRefreshBtn").on("click", function () {
            requestCameraSettings(function () {
                markCamera();
                redrawPresets();
            });
        });
        $("#camSaveBtn").on("click", saveCameraSettings);

        $("#showObs").on("change", function () {
            $("#obsPanel").toggle($(this).prop("checked"));
        });
        $("#showVmix").on("change", function () {
            $("#vmixPanel").toggle($(this).prop("checked"));
        });

        $("#obsSettingsBtn").on("click", function () {
            $("#obsSettingsModal").modal("show");
        });
        $("#obsSettingsModal").on("shown.bs.modal", function () {
            request("/obs/settings", null, function (data) {
                $("#obsIp").val(String(data.obsIp === undefined ? "" : data.obsIp));
                $("#obsPort").val(String(data.obsPort === undefined ? "" : data.obsPort));
            });
        });
        $("#obsSaveBtn").on("click", function () {
            request("/obs/saveReconnect", {
                obsIp: String($("#obsIp").val() || ""),
                obsPort: String($("#obsPort").val() || ""),
                obsPwd: String($("#obsPwd").val() || "")
            });
            $("#obsSettingsModal").modal("hide");
        });
        $("#obsSources").on("change", showObsSource);
        $("#obsSourcesRefresh").on("click", rebuildObsSources);
        $("#obsTransitionsRefresh").on("click", rebuildObsTransitions);
        $("#obsVolume").on("change", function () {
            var src = selectedObsSource();
            if (src) {
                request("/obs/sourceVolume", {
                    sourceName: String(src.name),
                    volume: obsDecibels(parseInt($(this).val(), 10) || 0)
                });
            }
        });
        $("#obsMute").on("click", function () {
            var src = selectedObsSource();
            if (src) {
                request("/obs/sourceMuted", { sourceName: String(src.name) });
            }
        });
        $("#obsTransitions").on("change", function () {
            var name = $(this).val();
            if (typeof name === "string") {
                request("/obs/transition", { transition: name });
            }
        });
        $("#obsStream").on("click", function () { request("/obs/toggleStreaming"); });
        $("#obsRecord").on("click", function () { request("/obs/toggleRecording"); });

        $("#vmixSettingsBtn").on("click", function () {
            $("#vmixSettingsModal").modal("show");
        });
        $("#vmixSettingsModal").on("shown.bs.modal", function () {
            request("/vmix/settings", null, function (data) {
                $("#vmixIp").val(String(data.vmixIp === undefined ? "" : data.vmixIp));
                $("#vmixPort").val(String(data.vmixPort === undefined ? "" : data.vmixPort));
                $("#vmixId").val(String(data.vmixId === undefined ? "" : data.vmixId));
            });
        });
        $("#vmixSaveBtn").on("click", function () {
            request("/vmix/saveReconnect", {
                vmixIp: String($("#vmixIp").val() || ""),
                vmixPort: String($("#vmixPort").val() || ""),
                vmixId: String($("#vmixId").val() || ""),
                vmixPwd: String($("#vmixPwd").val() || "")
            });
            $("#vmixSettingsModal").modal("hide");
        });
        $("#vmixSources").on("change", showVmixSource);
        $("#vmixSourcesRefresh").on("click", rebuildVmixInputs);
        $("#vmixSourceVolume").on("change", function () {
            var key = inputKey("#vmixSources");
            if (key !== null) {
                request("/vmix/sourceVolume", { sourceName: key, volume: parseInt($(this).val(), 10) || 0 });
            }
        });
        $("#vmixSourceMute").on("click", function () {
            var key = inputKey("#vmixSources");
            if (key !== null) {
                request("/vmix/sourceMuted", { sourceName: key });
            }
        });
        $("#vmixMasterVolume").on("change", function () {
            request("/vmix/masterVolume", { volume: parseInt($(this).val(), 10) || 0 });
        });
        $("#vmixMasterMute").on("click", function () { request("/vmix/masterMuted"); });
        $("#vmixSetPreview").on("click", function () {
            var key = inputKey("#vmixPreview");
            if (key !== null) {
                request("/vmix/setPreview", { sourceName: key });
            }
        });
        $("#vmixApplyTransition").on("click", function () {
            request("/vmix/transition", { transition: parseInt($("#vmixTransitions").val(), 10) || 0 });
        });
        $("#vmixStream").on("click", function () { request("/vmix/toggleStreaming"); });
        $("#vmixRecord").on("click", function () { request("/vmix/toggleRecording"); });
        $("#vmixPlayList").on("click", function () { request("/vmix/togglePlayList"); });
    }

    function pollAll() {
        poll("/vmix/status", onVmixStatus);
        poll("/cam/getCurrentCamInfo", onCamInfo);
        poll("/cam/checkImg", function (data) {
            if (data.downloaded === true) {
                redrawPresets();
            }
        });
        poll("/obs/status", onObsStatus);
        if ($(".cam-btn").length) {
            poll("/cam/tally", onTally);
        }
    }

    $(function () {
        bind();
        poll("/vmix/status", onVmixStatus);
        poll("/obs/status", onObsStatus);
        poll("/cam/getCurrentCamInfo", onCamInfo);
        requestCameraSettings();
        window.setInterval(pollAll, POLL_INTERVAL_MS);
    });
}(jQuery));
