lexiformData("x",{"kinds":["unit","type","class","record","object","interface","enumeration","enumeration value","type parameter","constant","resourcestring","variable","threadvar","field","property","procedure","function","constructor","destructor","operator","parameter","label"],
"refs":[0],
"lines":[0]});
